#pragma once

// Small single-precision vectors of the telestration engine. Marker
// parameters and the GPU blocks are single precision; marks and settings
// stay double precision until they are narrowed into these.

#include <array>
#include <bit>
#include <cmath>

namespace zanto {

struct Float2 {
    float x = 0;
    float y = 0;
    bool operator==(const Float2&) const = default;
};

struct Float3 {
    float x = 0;
    float y = 0;
    float z = 0;
    bool operator==(const Float3&) const = default;
};

// One shader vector: 16 bytes, lanes x, y, z, w in this order.
struct Float4 {
    float x = 0;
    float y = 0;
    float z = 0;
    float w = 0;
    bool operator==(const Float4&) const = default;
};

static_assert(sizeof(Float2) == 8 && sizeof(Float3) == 12 && sizeof(Float4) == 16);

// Replaces every NaN lane of a block of floats by 0. A NaN handed to the
// shader spreads through every computation that reads it; the packed blocks
// hold numbers only.
template <typename Block>
Block withoutNaN(const Block& block)
{
    auto lanes = std::bit_cast<std::array<float, sizeof(Block) / sizeof(float)>>(block);
    for (float& lane : lanes) {
        if (std::isnan(lane)) lane = 0;
    }
    return std::bit_cast<Block>(lanes);
}

} // namespace zanto
