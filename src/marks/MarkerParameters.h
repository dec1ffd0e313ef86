#pragma once

// The complete description of one telestration marker as the GPU renderer
// draws it. A plain value: every field has its default, copying copies the
// lists too. Positions are normalised with the origin at the top left (y
// down); lengths are pixels of a 1920-wide target; percentages run 0...100.
// Nothing is clamped when a field is set: the packing into the shader blocks
// (uniforms, groundUniforms, trailUniforms) scales and clamps.
//
// Build one with designated initialisers, naming only what changes:
//   MarkerParameters{.ringStyle = 6, .size = 75}
// Everything here is pure and may run on any thread.

#include "marks/MarkerUniforms.h"
#include "marks/MarkerVectors.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace zanto {

struct MarkerParameters {
    // The shader receives at most this many points, hull points and ring sizes.
    static constexpr int maxPlayers = 12;

    // Ring look.
    bool multipleRings = false;
    std::int64_t ringStyle = 0; // 0...7; 6 spotlight, 7 label on (value arrays)
    Float4 color1 = {0.02f, 0.36f, 1, 1};
    Float4 color2 = {1, 1, 1, 1};
    float size = 100;
    float perspective = 30;
    float thickness = 18;
    float segments = 10;
    float gap = 20;
    float speed = 1;     // turns a second
    float direction = 1; // -1 turns the other way
    float glow = 25;
    float opacity = 100;
    Float2 position = {0.5f, 0.65f};

    // Entrance animation.
    bool entranceEnabled = false;
    float entranceDuration = 0.7f;
    std::optional<double> entranceElapsed = std::nullopt; // replaces the render time when present

    // Player points, lines and fill.
    std::vector<Float2> points = {{0.3f, 0.4f}, {0.7f, 0.4f}, {0.7f, 0.7f}, {0.3f, 0.7f}};
    std::vector<float> ringSizes = std::vector<float>(maxPlayers, 100.0f);
    std::int64_t pointCount = 4;
    std::int64_t lineMode = 0;
    float lineWidth = 4;
    float lineOpacity = 100;
    float fillOpacity = 0;
    Float4 tacticalColor = {0.02f, 0.6f, 1, 1};
    float groundShadow = 0;

    // Arrow and lofted arc.
    std::int64_t arrowMode = 0; // 0...5
    Float2 arrowStart = {0.25f, 0.5f};
    Float2 arrowEnd = {0.75f, 0.5f};
    float arrowWidth = 70;
    float arrowHead = 30;
    float arrowSpeed = 1; // cycles a second
    float arrowSpacing = 150;
    float arrowDepth = 18;
    float arrowPerspective = 45;
    float arrowOpacity = 100;
    Float4 arrowColor = {0.02f, 0.6f, 1, 1};
    bool arrowAnimated = true;
    std::int64_t arcLinePattern = 0; // 0 solid, otherwise dashed
    float dashLength = 36;
    float dashGap = 24;
    std::int64_t arcMotionMode = 0; // 1 draws the arc progressively
    float arcAnimationDuration = 1.2f;
    float arcHeight = 260;
    float drawProgress = 100;
    float trailLength = 100;

    // Space shapes and the turf key.
    std::int64_t spaceMode = 0;
    float spaceWidth = 700;
    float spaceHeight = 280;
    float spaceFeather = 3;
    bool groundOnly = true;
    Float3 groundColor = {0.3f, 0.38f, 0.12f};
    float groundTolerance = 18;
    float groundSoftness = 8;
    bool groundPreview = false;

    // Vision cone, passing lane and waves.
    float visionAngle = 65; // degrees
    float corridorWidth = 180;
    float visionPerspective = 50;
    bool waveEnabled = false;
    float waveSpeed = 0.65f;
    float waveSpacing = 30;
    float waveStrength = 0;
    float waveWidth = 12;
    std::int64_t laneStartStyle = 0; // 0...2
    std::int64_t laneEndStyle = 0;   // 0...2

    // Label (drawn by the label pass).
    bool labelEnabled = false;
    float labelSize = 34;
    Float2 labelOffset = {0, -95};
    float labelBackgroundOpacity = 0.78f; // 0...1
    float labelOpacity = 1;               // 0...1
    float labelPadding = 14;
    Float4 labelTextColor = {1, 1, 1, 1};
    Float4 labelBoxColor = {0.02f, 0.02f, 0.02f, 1};

    // "Ring Trail" state: 520 or 523 numbers, any other length draws no trail.
    // Its point slots keep the marks' bottom-left y until packed.
    std::vector<float> trailState = {};

    bool operator==(const MarkerParameters&) const = default;

    // Entrance factors at a render time: opacity, size and wobble.
    struct Entrance {
        float opacity = 1;
        float size = 1;
        float wobble = 0;
        bool operator==(const Entrance&) const = default;
    };

    // Packing for a target of width x height pixels at render time `seconds`.
    MarkerUniforms uniforms(int width, int height, double seconds) const;
    GroundUniforms groundUniforms(int width, int height, double seconds = 0) const;
    TrailUniforms trailUniforms(int width, int height) const;
    Entrance entrance(double seconds) const;

    // Convex hull (monotone chain); collinear and repeated points are dropped
    // once there are three or more, fewer are only sorted.
    static std::vector<Float2> hull(std::vector<Float2> points);
};

} // namespace zanto
