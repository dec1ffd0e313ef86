#pragma once

// Pixel formats of GPU textures. The numbers are stable raw values that
// callers may use in cache keys; they stay far below 100000.

#include <cstdint>

namespace zanto::gpu {

enum class PixelFormat : std::uint32_t {
    RGBA8Unorm = 70, // bytes R, G, B, A in memory
    BGRA8Unorm = 80, // bytes B, G, R, A in memory
};

inline constexpr std::uint32_t rawValue(PixelFormat format)
{
    return static_cast<std::uint32_t>(format);
}
inline constexpr int bytesPerPixel(PixelFormat)
{
    return 4;
}

// What a texture may be used for; combine with |.
enum class TextureUsage : unsigned {
    ShaderRead = 1,
    RenderTarget = 2,
};

inline constexpr TextureUsage operator|(TextureUsage a, TextureUsage b)
{
    return static_cast<TextureUsage>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

inline constexpr bool contains(TextureUsage set, TextureUsage flag)
{
    return (static_cast<unsigned>(set) & static_cast<unsigned>(flag)) != 0;
}

// A rectangle of pixels, origin at the top left as textures lie in memory.
struct PixelRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool liesWithin(int outerWidth, int outerHeight) const
    {
        return x >= 0 && y >= 0 && width > 0 && height > 0 && x + width <= outerWidth && y + height <= outerHeight;
    }
    bool operator==(const PixelRegion&) const = default;
};

struct TextureDescriptor {
    PixelFormat format = PixelFormat::BGRA8Unorm;
    int width = 0;
    int height = 0;
    TextureUsage usage = TextureUsage::ShaderRead;
};

} // namespace zanto::gpu
