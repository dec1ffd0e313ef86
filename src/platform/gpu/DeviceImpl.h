#pragma once

// Inside of Device, shared by the .cpp files of this folder only. It holds no
// GL or EGL types: handles are kept as plain pointers and unsigned names.

#include "platform/gpu/Device.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zanto::gpu {

struct Device::Impl {
    void* display = nullptr; // EGLDisplay, shared by all devices
    void* context = nullptr; // EGLContext of this device
    std::uint64_t registryID = 0;
    std::string name;
    int maxTextureSize = 0;
    // BGRA textures are stored, drawn into and read back as BGRA (with the
    // GLES extensions for it); without them, as RGBA with the bytes swapped.
    bool nativeBgra = false;

    // Serialises every use of the context (guards everything below it too).
    std::mutex lock;
    unsigned vertexArray = 0;                    // the empty vertex array every draw binds
    unsigned framebuffer = 0;                    // reused for render passes and read-back
    std::array<unsigned, 4> uniformBuffers = {}; // one per fragment buffer index

    // GL names released by objects that went away; deleted the next time the
    // context is current. Guarded by deadLock, never by `lock`, so a release
    // never waits for GPU work.
    std::mutex deadLock;
    std::vector<unsigned> deadTextures;
    std::vector<unsigned> deadPrograms;

    void releaseTexture(unsigned name);
    void releaseProgram(unsigned name);
};

// Holds the device's lock with its context current on this thread for the
// scope's lifetime. Throws GpuError when the context cannot be made current.
class DeviceSession {
public:
    explicit DeviceSession(Device::Impl& device);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

private:
    Device::Impl& device_;
    std::unique_lock<std::mutex> guard_;
};

// The name of the first pending GL error ("GL_INVALID_OPERATION"), or an empty
// text when there is none. Clears every pending error. Call inside a session.
std::string takeGlError();

} // namespace zanto::gpu
