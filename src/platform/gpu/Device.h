#pragma once

// A GPU device: one OpenGL ES 3.2 context on a headless EGL display, plus the
// lock that serialises every use of that context. A GL context is current on
// one thread at a time, so every call below that touches the GPU takes the
// device's lock, makes the context current, does its work and releases the
// context before it returns. Any thread may call any operation; calls from
// several threads run one after another.
//
// Objects made by a device (textures, queues, libraries, pipelines) keep the
// device alive through a shared pointer and may be released on any thread.

#include "platform/gpu/PixelFormat.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zanto::gpu {

class CommandQueue;
class Library;
class RenderPipeline;
class Texture;
struct RenderPipelineDescriptor;

class Device : public std::enable_shared_from_this<Device> {
public:
    struct Impl;

    // The process's shared device, made on the first successful call. Throws
    // GpuError with the EGL error when no context can be made; a later call
    // tries again.
    static std::shared_ptr<Device> systemDefault();
    // A device of its own (a separate context); throws GpuError like above.
    static std::shared_ptr<Device> create();

    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Unique for the life of the process, never reused.
    std::uint64_t registryID() const;
    // The driver's renderer string (for example "llvmpipe ...").
    const std::string& name() const;
    // The largest width or height a texture may have.
    int maxTextureSize() const;

    // Null when the size is not positive or above maxTextureSize(), or when
    // the driver refuses the memory. The content starts as transparent black.
    std::shared_ptr<Texture> makeTexture(const TextureDescriptor& descriptor);
    std::shared_ptr<CommandQueue> makeCommandQueue();
    // Compiles the shader source once to check it; throws GpuError carrying the
    // compiler's log when it does not compile.
    std::shared_ptr<Library> makeLibrary(const std::string& source);
    // Compiles and links the two named functions; throws GpuError with the
    // compiler's or linker's log, or when a function is not in the library.
    std::shared_ptr<RenderPipeline> makeRenderPipeline(const RenderPipelineDescriptor& descriptor);

    Impl& impl() { return *impl_; }

private:
    explicit Device(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace zanto::gpu
