#include "platform/gpu/Device.h"

#include "platform/gpu/CommandQueue.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl32.h>

#include <atomic>
#include <cstdio>
#include <string_view>

namespace zanto::gpu {
namespace {

std::string eglErrorText(const char* what)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04X)", what, static_cast<unsigned>(eglGetError()));
    return text;
}

// One headless display for the whole process. It is never terminated: devices
// made later, and contexts still alive at exit, keep using it.
EGLDisplay sharedDisplay()
{
    static std::mutex lock;
    static EGLDisplay display = EGL_NO_DISPLAY;
    std::lock_guard guard(lock);
    if (display != EGL_NO_DISPLAY) return display;
    // The surfaceless platform needs no window system and no environment
    // variable; it runs on a render node or on the software rasteriser.
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) throw GpuError("EGL has no eglGetPlatformDisplayEXT");
    EGLDisplay candidate = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (candidate == EGL_NO_DISPLAY) throw GpuError(eglErrorText("eglGetPlatformDisplayEXT(surfaceless)"));
    EGLint major = 0, minor = 0;
    if (!eglInitialize(candidate, &major, &minor)) throw GpuError(eglErrorText("eglInitialize"));
    display = candidate;
    return display;
}

EGLContext makeContext(EGLDisplay display)
{
    if (!eglBindAPI(EGL_OPENGL_ES_API)) throw GpuError(eglErrorText("eglBindAPI"));
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count == 0)
        config = nullptr; // surfaceless contexts may do without a config
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) throw GpuError(eglErrorText("eglCreateContext(OpenGL ES 3.2)"));
    return context;
}

bool hasExtension(std::string_view name)
{
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i)
        if (const auto* each = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
            each && each == name)
            return true;
    return false;
}

// First use of a fresh context: the objects every pass shares.
void prepareContext(Device::Impl& device)
{
    DeviceSession session(device);
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    device.name = renderer ? renderer : "unknown";
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &device.maxTextureSize);
    device.nativeBgra = hasExtension("GL_EXT_texture_format_BGRA8888") && hasExtension("GL_EXT_read_format_bgra");
    glGenVertexArrays(1, &device.vertexArray);
    glGenFramebuffers(1, &device.framebuffer);
    glGenBuffers(GLsizei(device.uniformBuffers.size()), device.uniformBuffers.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (auto error = takeGlError(); !error.empty()) throw GpuError("Preparing the GL context failed: " + error);
}

std::uint64_t nextRegistryID()
{
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

} // namespace

std::string takeGlError()
{
    std::string first;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        if (!first.empty()) continue;
        switch (error) {
        case GL_INVALID_ENUM:
            first = "GL_INVALID_ENUM";
            break;
        case GL_INVALID_VALUE:
            first = "GL_INVALID_VALUE";
            break;
        case GL_INVALID_OPERATION:
            first = "GL_INVALID_OPERATION";
            break;
        case GL_INVALID_FRAMEBUFFER_OPERATION:
            first = "GL_INVALID_FRAMEBUFFER_OPERATION";
            break;
        case GL_OUT_OF_MEMORY:
            first = "GL_OUT_OF_MEMORY";
            break;
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "GL error 0x%04X", error);
            first = text;
        }
        }
    }
    return first;
}

DeviceSession::DeviceSession(Device::Impl& device) : device_(device), guard_(device.lock)
{
    eglBindAPI(EGL_OPENGL_ES_API);
    if (!eglMakeCurrent(device.display, EGL_NO_SURFACE, EGL_NO_SURFACE, device.context))
        throw GpuError(eglErrorText("eglMakeCurrent"));
    std::vector<unsigned> textures, programs;
    {
        std::lock_guard dead(device.deadLock);
        textures.swap(device.deadTextures);
        programs.swap(device.deadPrograms);
    }
    if (!textures.empty()) glDeleteTextures(GLsizei(textures.size()), textures.data());
    for (unsigned program : programs) glDeleteProgram(program);
}

DeviceSession::~DeviceSession()
{
    eglMakeCurrent(device_.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void Device::Impl::releaseTexture(unsigned name)
{
    std::lock_guard dead(deadLock);
    deadTextures.push_back(name);
}

void Device::Impl::releaseProgram(unsigned name)
{
    std::lock_guard dead(deadLock);
    deadPrograms.push_back(name);
}

std::shared_ptr<Device> Device::create()
{
    auto impl = std::make_unique<Impl>();
    impl->display = sharedDisplay();
    impl->context = makeContext(impl->display);
    impl->registryID = nextRegistryID();
    std::shared_ptr<Device> device(new Device(std::move(impl)));
    prepareContext(*device->impl_);
    return device;
}

std::shared_ptr<Device> Device::systemDefault()
{
    static std::mutex lock;
    static std::shared_ptr<Device> device;
    std::lock_guard guard(lock);
    if (!device) device = create();
    return device;
}

Device::Device(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) { }

Device::~Device()
{
    // The context goes with every name in it; nothing to delete one by one.
    if (impl_->context) eglDestroyContext(impl_->display, impl_->context);
}

std::uint64_t Device::registryID() const
{
    return impl_->registryID;
}
const std::string& Device::name() const
{
    return impl_->name;
}
int Device::maxTextureSize() const
{
    return impl_->maxTextureSize;
}

std::shared_ptr<CommandQueue> Device::makeCommandQueue()
{
    return std::make_shared<CommandQueue>(shared_from_this());
}

} // namespace zanto::gpu
