#pragma once

// The three parameter blocks the marker shader reads as fragment bytes 0, 1
// and 2. Each is a gapless run of four-float vectors, vector k at byte 16 * k,
// little-endian floats; the layout is the contract with the shader source, so
// never reorder or insert fields. Made by MarkerParameters::uniforms,
// groundUniforms and trailUniforms (MarkerParameters.h); plain values, no
// ownership, any thread.

#include "marks/MarkerVectors.h"

#include <array>
#include <bit>
#include <cstddef>
#include <type_traits>

namespace zanto {

static_assert(std::endian::native == std::endian::little,
              "the shader blocks are little-endian floats copied as they are");

// Fragment bytes 0: the ring, points, hull, lines and arrow or arc (26 vectors).
struct alignas(16) MarkerUniforms {
    Float4 color1 = {};
    Float4 color2 = {};
    Float4 geometry = {}; // position px, size, perspective
    Float4 shape = {};    // thickness, segments, gap, ring angle
    Float4 look = {};     // glow + wobble, opacity, scale, wobble
    Float4 points01 = {};
    Float4 points23 = {};
    Float4 hull01 = {};
    Float4 hull23 = {};
    Float4 tactics = {}; // point count, line mode, line width, line opacity
    Float4 fill = {};    // fill opacity, hull count, multiple rings, shadow
    Float4 tacticalColor = {};
    Float4 points45 = {};
    Float4 points67 = {};
    Float4 points89 = {};
    Float4 pointsAB = {};
    Float4 hull45 = {};
    Float4 hull67 = {};
    Float4 hull89 = {};
    Float4 hullAB = {};
    Float4 arrowEnds = {};
    Float4 arrowShape = {};
    Float4 arrowStyle = {};
    Float4 arrowColor = {};
    Float4 arrowPath = {};  // arc height, draw share, trail length, ring style
    Float4 arcOptions = {}; // dash length, dash gap, arc motion, arc phase
    bool operator==(const MarkerUniforms&) const = default;
};

// Fragment bytes 1: space shape, turf key, viewport, ring sizes, vision, waves.
struct alignas(16) GroundUniforms {
    Float4 space = {};
    Float4 key = {};
    Float4 mask = {};
    Float4 viewport = {};
    Float4 ringSizes03 = {};
    Float4 ringSizes47 = {};
    Float4 ringSizes8B = {};
    Float4 vision = {};
    Float4 wave = {};
    bool operator==(const GroundUniforms&) const = default;
};

// Fragment bytes 2: the "Ring Trail" block, 131 vectors: header (0, 1), 128
// point slots (2 ... 129) and the tail (130). All zero when no trail is drawn.
inline constexpr std::size_t trailVectorCount = 131;
inline constexpr std::size_t trailSlotCount = 128;
using TrailUniforms = std::array<Float4, trailVectorCount>;

static_assert(sizeof(MarkerUniforms) == 416);
static_assert(sizeof(GroundUniforms) == 144);
static_assert(sizeof(TrailUniforms) == 2096);
static_assert(std::is_trivially_copyable_v<MarkerUniforms>);
static_assert(std::is_trivially_copyable_v<GroundUniforms>);
static_assert(std::is_trivially_copyable_v<TrailUniforms>);
static_assert(std::is_standard_layout_v<MarkerUniforms>);
static_assert(std::is_standard_layout_v<GroundUniforms>);

} // namespace zanto
