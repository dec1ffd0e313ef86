#include "platform/gpu/Texture.h"

#include "platform/gpu/Device.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"

#include <GLES3/gl32.h>
// After the core header, which it builds on.
#include <GLES2/gl2ext.h>

#include <cstring>

namespace zanto::gpu {
namespace {

// A BGRA texture is stored as BGRA where the driver can draw into and read
// back such textures; otherwise as RGBA8, with its bytes swapped on the way in
// and out, which any GLES 3 driver can.
bool swapsBytes(PixelFormat format, const Device::Impl& device)
{
    return format == PixelFormat::BGRA8Unorm && !device.nativeBgra;
}

GLenum byteOrder(PixelFormat format, const Device::Impl& device)
{
    return format == PixelFormat::BGRA8Unorm && device.nativeBgra ? GL_BGRA_EXT : GL_RGBA;
}

void swapRedBlue(std::uint8_t* row, int pixels)
{
    // A word at a time, which the compiler turns into vector code.
    for (int i = 0; i < pixels; ++i) {
        std::uint32_t p;
        std::memcpy(&p, row + 4 * i, 4);
        p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        std::memcpy(row + 4 * i, &p, 4);
    }
}

// The copy goes into a buffer the thread keeps: uploads come frame after
// frame, and fresh memory for each costs more than the copy.
const std::vector<std::uint8_t>& tightCopy(bool swap, int width, int height, const std::uint8_t* bytes,
                                           std::size_t bytesPerRow)
{
    const std::size_t rowBytes = std::size_t(width) * 4;
    thread_local std::vector<std::uint8_t> copy;
    copy.resize(rowBytes * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = copy.data() + rowBytes * std::size_t(y);
        std::memcpy(row, bytes + bytesPerRow * std::size_t(y), rowBytes);
        if (swap) swapRedBlue(row, width);
    }
    return copy;
}

} // namespace

Texture::Texture(std::shared_ptr<Device> device, const TextureDescriptor& descriptor, unsigned name)
    : device_(std::move(device)), descriptor_(descriptor), name_(name)
{ }

Texture::~Texture()
{
    device_->impl().releaseTexture(name_);
}

void Texture::replaceRegion(int x, int y, int width, int height, const std::uint8_t* bytes, std::size_t bytesPerRow)
{
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > this->width() || y + height > this->height())
        throw GpuError("Texture region outside the texture");
    if (!bytes || bytesPerRow < std::size_t(width) * 4) throw GpuError("Texture upload with too few bytes a row");
    auto& device = device_->impl();
    // Rows are read straight from the caller's memory, its row length given
    // to the driver, unless their bytes need swapping.
    const bool swap = swapsBytes(descriptor_.format, device);
    const bool direct = !swap && bytesPerRow % 4 == 0;
    const std::uint8_t* pixels = direct ? bytes : tightCopy(swap, width, height, bytes, bytesPerRow).data();
    DeviceSession session(device);
    glBindTexture(GL_TEXTURE_2D, name_);
    if (direct) glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(bytesPerRow / 4));
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, byteOrder(descriptor_.format, device), GL_UNSIGNED_BYTE,
                    pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (auto error = takeGlError(); !error.empty()) throw GpuError("Texture upload failed: " + error);
}

void Texture::replace(const std::uint8_t* bytes, std::size_t bytesPerRow)
{
    replaceRegion(0, 0, width(), height(), bytes, bytesPerRow);
}

void Texture::getBytes(std::uint8_t* bytes, std::size_t bytesPerRow) const
{
    getBytes(PixelRegion{0, 0, width(), height()}, bytes, bytesPerRow);
}

void Texture::getBytes(const PixelRegion& region, std::uint8_t* bytes, std::size_t bytesPerRow) const
{
    if (!region.liesWithin(width(), height())) throw GpuError("Texture region outside the texture");
    const std::size_t rowBytes = std::size_t(region.width) * 4;
    if (!bytes || bytesPerRow < rowBytes) throw GpuError("Texture read-back with too few bytes a row");
    // Rows are read straight into the caller's memory, its row length given
    // to the driver, and swapped in place where they need it.
    const bool direct = bytesPerRow % 4 == 0;
    std::vector<std::uint8_t> pixels(direct ? 0 : rowBytes * std::size_t(region.height));
    auto& device = device_->impl();
    const bool swap = swapsBytes(descriptor_.format, device);
    {
        DeviceSession session(device);
        glBindFramebuffer(GL_FRAMEBUFFER, device.framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name_, 0);
        if (direct) glPixelStorei(GL_PACK_ROW_LENGTH, GLint(bytesPerRow / 4));
        glReadPixels(region.x, region.y, region.width, region.height, byteOrder(descriptor_.format, device),
                     GL_UNSIGNED_BYTE, direct ? bytes : pixels.data());
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (auto error = takeGlError(); !error.empty()) throw GpuError("Texture read-back failed: " + error);
    }
    for (int y = 0; y < region.height; ++y) {
        std::uint8_t* row = bytes + bytesPerRow * std::size_t(y);
        if (!direct) std::memcpy(row, pixels.data() + rowBytes * std::size_t(y), rowBytes);
        if (swap) swapRedBlue(row, region.width);
    }
}

std::vector<std::uint8_t> Texture::bytes() const
{
    std::vector<std::uint8_t> result(std::size_t(width()) * 4 * std::size_t(height()));
    getBytes(result.data(), std::size_t(width()) * 4);
    return result;
}

std::shared_ptr<Texture> Device::makeTexture(const TextureDescriptor& descriptor)
{
    if (descriptor.width <= 0 || descriptor.height <= 0 || descriptor.width > impl_->maxTextureSize
        || descriptor.height > impl_->maxTextureSize)
        return nullptr;
    if (descriptor.format != PixelFormat::BGRA8Unorm && descriptor.format != PixelFormat::RGBA8Unorm) return nullptr;
    GLuint name = 0;
    {
        DeviceSession session(*impl_);
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        if (byteOrder(descriptor.format, *impl_) == GL_BGRA_EXT) {
            // GLES has no sized BGRA format for immutable storage: a
            // mutable texture, of one level.
            glTexImage2D(GL_TEXTURE_2D, 0, GL_BGRA_EXT, descriptor.width, descriptor.height, 0, GL_BGRA_EXT,
                         GL_UNSIGNED_BYTE, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        } else {
            glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, descriptor.width, descriptor.height);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        // Fresh storage is undefined in GL; callers expect transparent black.
        glBindFramebuffer(GL_FRAMEBUFFER, impl_->framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0);
        const GLfloat clear[4] = {0, 0, 0, 0};
        glClearBufferfv(GL_COLOR, 0, clear);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glBindTexture(GL_TEXTURE_2D, 0);
        if (!takeGlError().empty()) {
            glDeleteTextures(1, &name);
            return nullptr;
        }
    }
    return std::make_shared<Texture>(shared_from_this(), descriptor, name);
}

} // namespace zanto::gpu
