#include "marks/MarkerShaderConstants.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace zanto {
namespace {

// The shader's int(v + 0.5), kept in a sane range so that any float works.
int rounded(float v)
{
    if (!std::isfinite(v)) return 0;
    return int(std::clamp(v + 0.5f, -1000.0f, 1000.0f));
}

// A mode the shader compares with `choices`: anything else draws nothing,
// which 0 stands for.
int choice(float v, int highest)
{
    const int mode = rounded(v);
    return mode >= 0 && mode <= highest ? mode : 0;
}

} // namespace

gpu::FunctionConstants markerShaderConstants(const MarkerUniforms& m, const GroundUniforms& g,
                                             const TrailUniforms& trail)
{
    int ringStyle = rounded(m.arrowPath.w);
    if (ringStyle < 0 || ringStyle > 7) ringStyle = 0; // the packing clamps 0...7; other values draw the plain ring
    if (!(m.look.y > 0)) ringStyle = 8;                // invisible rings
    const int lineMode = rounded(m.tactics.y);
    const int arrow = rounded(m.arrowStyle.x);
    return {
        {"FEATURE_RING_STYLE", ringStyle},
        {"FEATURE_MULTIPLE", m.fill.z > 0.5f ? 1 : 0},
        {"FEATURE_POINTS", std::clamp(rounded(m.tactics.x), 0, 12)},
        {"FEATURE_LINE_MODE", lineMode == 1 || lineMode == 2 ? lineMode : 0},
        {"FEATURE_HULL", std::clamp(rounded(m.fill.y), 0, 12)},
        {"FEATURE_FILL", m.fill.x > 0 ? 1 : 0},
        {"FEATURE_SPACE", choice(g.space.x, 5)},
        {"FEATURE_ARROW", arrow >= 0 && arrow <= 5 ? arrow : 0},
        {"FEATURE_TRAIL", rounded(trail[130].w) >= 2 ? 1 : 0},
        {"FEATURE_KEY", g.mask.x > 0.5f ? 1 : 0},
        {"FEATURE_PREVIEW", g.mask.w > 0.5f ? 1 : 0},
        {"FEATURE_WAVES", g.wave.z > 0 ? 1 : 0},
    };
}

bool markerReadsClock(const MarkerUniforms& m, const GroundUniforms& g, const TrailUniforms& trail)
{
    const gpu::FunctionConstants features = markerShaderConstants(m, g, trail);
    auto feature = [&](std::string_view name) {
        for (const auto& [key, value] : features)
            if (key == name) return value;
        return -1;
    };
    const int ring = feature("FEATURE_RING_STYLE");
    const int space = feature("FEATURE_SPACE");
    const int arrow = feature("FEATURE_ARROW");
    // Chevrons and dashes run with the arrow phase, the arc with the clock.
    const bool arrowMoves = arrow >= 2 && arrow <= 4;
    // The spotlight draws its darkness, beam, solid rings and lines, then
    // the arrows: only those can move.
    if (ring == 6) return arrowMoves;
    // Solid rings (2), dots (3) and no rings (8) stand; the others turn or pulse.
    const bool ringsMove = ring != 2 && ring != 3 && ring != 8;
    // The circle's dashed ring, the cone's sweep and the lane's chevrons turn
    // with the ring angle; every shape's waves run with the wave phase.
    const bool spaceMoves = space == 1 || space == 4 || space == 5 || (space != 0 && feature("FEATURE_WAVES") == 1);
    // The hull's fill stripes drift, where the hull is a filled area.
    const bool hullMoves = space == 0 && feature("FEATURE_FILL") == 1 && feature("FEATURE_HULL") > 2;
    return ringsMove || spaceMoves || hullMoves || feature("FEATURE_TRAIL") == 1 || arrowMoves;
}

} // namespace zanto
