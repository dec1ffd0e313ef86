#include "marks/CutoutParameters.h"

#include "marks/MarkerRendererError.h"

#include <algorithm>
#include <cmath>

namespace zanto {

float CutoutParameters::scale() const
{
    float a = 1;
    if (automatic) {
        // A figure further below the horizon than where it was cut grows.
        const float ratio = (horizon - target.y) / std::max(0.02f, horizon - source.y);
        a = std::clamp(ratio, 0.2f, 3.0f);
    }
    const float s = std::clamp(a * manualScale / 100, 0.05f, 6.0f);
    // Infinite fields leave no sensible scale; draw the cutout unscaled.
    return std::isnan(s) ? 1.0f : s;
}

CutoutUniforms CutoutParameters::uniforms() const
{
    const float s = scale();
    const float alpha = std::clamp(opacity / 100, 0.0f, 1.0f);
    // A NaN field set by a caller goes to the shader as 0.
    return withoutNaN(CutoutUniforms{Float4{source.x, source.y, target.x, target.y}, Float4{s, alpha, 0, 0}});
}

CutoutParameters CutoutParameters::fromValues(std::span<const double> values)
{
    bool fine = values.size() == 8;
    for (double v : values) fine = fine && std::isfinite(v);
    if (!fine) throw rendererFailure("Invalid cutout state");
    auto f = [&](std::size_t i) { return static_cast<float>(values[i]); };
    CutoutParameters p;
    p.source = {f(0), f(1)};
    p.target = {f(2), f(3)};
    p.automatic = f(4) != 0;
    p.horizon = f(5) / 100;
    p.manualScale = f(6);
    p.opacity = f(7);
    return p;
}

} // namespace zanto
