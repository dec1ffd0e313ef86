// The C entry points: C++ objects behind opaque handles, every exception
// turned into a false result and an error object.

#include "ZantoMarker.h"

#include "marks/GXLMarkerRenderer.h"
#include "marks/MarkerRendererError.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Texture.h"

#include <QGuiApplication>

#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <system_error>

struct ZantoDevice {
    std::shared_ptr<zanto::gpu::Device> device;
};

struct ZantoTexture {
    std::shared_ptr<zanto::gpu::Texture> texture;
};

struct ZantoError {
    std::string domain;
    long code = 0;
    std::string message;
};

namespace {

void store(ZantoError** out, std::string domain, long code, std::string message)
{
    if (out) *out = new ZantoError{std::move(domain), code, std::move(message)};
}

// Runs `work`; any exception becomes false and an error for the host.
template <typename Work>
bool guarded(ZantoError** error, Work&& work)
{
    try {
        work();
        return true;
    } catch (const zanto::MarkerRendererError& failure) {
        store(error, failure.domain(), failure.code(), failure.what());
    } catch (const zanto::gpu::GpuError& failure) {
        store(error, "zanto.gpu", 1, failure.what());
    } catch (const std::system_error& failure) {
        store(error, "POSIX", failure.code().value(), failure.what());
    } catch (const std::exception& failure) {
        store(error, "zanto", 0, failure.what());
    } catch (...) {
        store(error, "zanto", 0, "Unknown failure");
    }
    return false;
}

// Labels are drawn with Qt's fonts, which live in a GUI application. A host
// without Qt gets an offscreen one, made once. The platform is named on its
// command line, which wins over the host's environment: a QT_QPA_PLATFORM
// meant for something else (or naming no plugin at all) would otherwise end
// the host's process.
void ensureGuiApplication()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication::instance()) return;
        static char name[] = "zantomarker";
        static char platformOption[] = "-platform";
        static char platform[] = "offscreen";
        static char* argv[] = {name, platformOption, platform, nullptr};
        static int argc = 3;
        new QGuiApplication(argc, argv); // lives for the rest of the process
    });
}

std::span<const double> valueSpan(const double* values, std::size_t count)
{
    return values ? std::span<const double>(values, count) : std::span<const double>();
}

zanto::MarkerRendererError invalid(const char* message)
{
    return zanto::rendererFailure(message);
}

} // namespace

extern "C" {

const char* zanto_error_domain(const ZantoError* error)
{
    return error ? error->domain.c_str() : "";
}
long zanto_error_code(const ZantoError* error)
{
    return error ? error->code : 0;
}
const char* zanto_error_message(const ZantoError* error)
{
    return error ? error->message.c_str() : "";
}
void zanto_error_free(ZantoError* error)
{
    delete error;
}

ZantoDevice* zanto_device_default(ZantoError** error)
{
    ZantoDevice* result = nullptr;
    guarded(error, [&] { result = new ZantoDevice{zanto::gpu::Device::systemDefault()}; });
    return result;
}

ZantoDevice* zanto_device_create(ZantoError** error)
{
    ZantoDevice* result = nullptr;
    guarded(error, [&] { result = new ZantoDevice{zanto::gpu::Device::create()}; });
    return result;
}

uint64_t zanto_device_registry_id(const ZantoDevice* device)
{
    return device ? device->device->registryID() : 0;
}
void zanto_device_release(ZantoDevice* device)
{
    delete device;
}

ZantoTexture* zanto_texture_create(ZantoDevice* device, uint32_t pixelFormat, int width, int height, ZantoError** error)
{
    ZantoTexture* result = nullptr;
    guarded(error, [&] {
        if (!device || (pixelFormat != ZANTO_PIXEL_FORMAT_RGBA8 && pixelFormat != ZANTO_PIXEL_FORMAT_BGRA8))
            throw zanto::gpu::GpuError("Invalid texture description");
        using namespace zanto::gpu;
        auto texture = device->device->makeTexture({static_cast<PixelFormat>(pixelFormat), width, height,
                                                    TextureUsage::RenderTarget | TextureUsage::ShaderRead});
        if (!texture) throw GpuError("Texture unavailable");
        result = new ZantoTexture{std::move(texture)};
    });
    return result;
}

int zanto_texture_width(const ZantoTexture* texture)
{
    return texture ? texture->texture->width() : 0;
}
int zanto_texture_height(const ZantoTexture* texture)
{
    return texture ? texture->texture->height() : 0;
}

bool zanto_texture_replace(ZantoTexture* texture, const uint8_t* bytes, size_t bytesPerRow, ZantoError** error)
{
    return guarded(error, [&] {
        if (!texture) throw zanto::gpu::GpuError("No texture");
        texture->texture->replace(bytes, bytesPerRow);
    });
}

bool zanto_texture_read(const ZantoTexture* texture, uint8_t* bytes, size_t bytesPerRow, ZantoError** error)
{
    return guarded(error, [&] {
        if (!texture) throw zanto::gpu::GpuError("No texture");
        texture->texture->getBytes(bytes, bytesPerRow);
    });
}

void zanto_texture_release(ZantoTexture* texture)
{
    delete texture;
}

bool zanto_marker_render_texture(ZantoTexture* target, const double* values, size_t count, const char* label,
                                 double seconds, ZantoError** error)
{
    return zanto_marker_render_ground_texture(target, nullptr, values, count, label, seconds, error);
}

bool zanto_marker_render_ground_texture(ZantoTexture* target, ZantoTexture* source, const double* values, size_t count,
                                        const char* label, double seconds, ZantoError** error)
{
    return guarded(error, [&] {
        if (!target || (!values && count > 0)) throw invalid("Invalid parameter state");
        ensureGuiApplication();
        const std::string text = label ? label : "";
        if (source)
            zanto::GXLMarkerRenderer::renderGroundTexture(target->texture, source->texture, valueSpan(values, count),
                                                          text, seconds);
        else
            zanto::GXLMarkerRenderer::renderTexture(target->texture, valueSpan(values, count), text, seconds);
    });
}

bool zanto_marker_render_cutout_texture(ZantoTexture* target, ZantoTexture* source, const double* values, size_t count,
                                        ZantoError** error)
{
    return guarded(error, [&] {
        if (!target || !source || (!values && count > 0)) throw invalid("Invalid cutout state");
        zanto::GXLMarkerRenderer::renderCutoutTexture(target->texture, source->texture, valueSpan(values, count));
    });
}

} // extern "C"
