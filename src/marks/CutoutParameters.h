#pragma once

// The cutout pass's parameters: a source point, a target point, a horizon
// line, a scale (from the points' distances to the horizon, or by hand) and
// an opacity. The pass itself belongs to the renderer; this is the pure value
// and its eight-number array. Any thread.

#include "marks/MarkerVectors.h"

#include <array>
#include <span>

namespace zanto {

// Fragment bytes 0 of the cutout pass: (source, target), (scale, opacity, 0, 0).
using CutoutUniforms = std::array<Float4, 2>;
static_assert(sizeof(CutoutUniforms) == 32);

struct CutoutParameters {
    Float2 source = {0.5f, 0.3f}; // normalised 0...1
    Float2 target = {0.5f, 0.3f}; // normalised 0...1
    bool automatic = true;        // scale from the horizon rather than by hand
    float horizon = 0.8f;         // the horizon line's y, normalised
    float manualScale = 100;      // percent, applied in both modes
    float opacity = 100;          // percent

    bool operator==(const CutoutParameters&) const = default;

    // Scale factor, 0.05...6.
    float scale() const;
    CutoutUniforms uniforms() const;

    // From the cutout value array: exactly eight finite numbers (source x, y,
    // target x, y, automatic when not 0, horizon in percent, manual scale,
    // opacity). Throws MarkerRendererError "Invalid cutout state" otherwise.
    static CutoutParameters fromValues(std::span<const double> values);
};

} // namespace zanto
