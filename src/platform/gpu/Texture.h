#pragma once

// A two-dimensional texture of one device. Memory rows run top row first:
// row 0 of an upload or a read-back is the top of the picture, and shaders
// see pixel (0, 0) at the top left. Pixels are 4 bytes in the order of the
// texture's PixelFormat. Uploads and read-backs are synchronous and take the
// device's lock; any thread may call them. Made by Device::makeTexture.

#include "platform/gpu/PixelFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zanto::gpu {

class Device;

class Texture {
public:
    Texture(std::shared_ptr<Device> device, const TextureDescriptor& descriptor, unsigned name);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    int width() const { return descriptor_.width; }
    int height() const { return descriptor_.height; }
    PixelFormat pixelFormat() const { return descriptor_.format; }
    TextureUsage usage() const { return descriptor_.usage; }
    const std::shared_ptr<Device>& device() const { return device_; }

    // Replaces a region with `bytes`, rows `bytesPerRow` apart (at least
    // width * 4). Throws GpuError when the region leaves the texture or the
    // driver fails.
    void replaceRegion(int x, int y, int width, int height, const std::uint8_t* bytes, std::size_t bytesPerRow);
    void replace(const std::uint8_t* bytes, std::size_t bytesPerRow);

    // Reads the whole texture, rows `bytesPerRow` apart. Throws GpuError.
    void getBytes(std::uint8_t* bytes, std::size_t bytesPerRow) const;
    // Reads `region` only, its top row first. Throws GpuError when the region
    // leaves the texture.
    void getBytes(const PixelRegion& region, std::uint8_t* bytes, std::size_t bytesPerRow) const;
    // The whole texture as tightly packed rows.
    std::vector<std::uint8_t> bytes() const;

    // The GL name, for the other files of the GPU layer only.
    unsigned glName() const { return name_; }

private:
    std::shared_ptr<Device> device_;
    TextureDescriptor descriptor_;
    unsigned name_ = 0;
};

} // namespace zanto::gpu
