#include "platform/media/PlayerEngine.h"

#include "platform/media/MediaError.h"

#include <QMetaObject>
#include <QTimer>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <string>
#include <utility>
#include <system_error>

namespace zanto {

void PlayerEngine::HandleDeleter::operator()(mpv_handle* handle) const
{
    mpv_terminate_destroy(handle);
}

void PlayerEngine::RenderDeleter::operator()(mpv_render_context* context) const
{
    mpv_render_context_free(context);
}

void PlayerEngine::post(std::function<void()> call)
{
    if (context) QMetaObject::invokeMethod(context.get(), std::move(call), Qt::QueuedConnection);
}

void PlayerEngine::postDelayed(int milliseconds, std::function<void()> call)
{
    QTimer::singleShot(milliseconds, context.get(), std::move(call));
}

void PlayerEngine::postFrame()
{
    if (framePosted) return;
    framePosted = true;
    post([this] {
        {
            std::lock_guard lock(mutex);
            framePosted = false;
        }
        if (frameShown_) frameShown_();
    });
}

QSize PlayerEngine::drawingSize() const
{
    return outputSize.isEmpty() ? naturalSize : naturalSize.scaled(outputSize, Qt::KeepAspectRatio);
}

void PlayerEngine::startSoftware()
{
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* created = nullptr;
    const int code = mpv_render_context_create(&created, mpv.get(), params);
    if (code < 0) throw MediaError(std::string("Cannot start the picture renderer: ") + mpv_error_string(code));
    render.reset(created);
    mpv_render_context_set_update_callback(
        created,
        [](void* data) {
            auto* engine = static_cast<PlayerEngine*>(data);
            std::lock_guard lock(engine->mutex);
            engine->renderWanted = true;
            engine->wake.notify_one();
        },
        this);
    {
        std::lock_guard lock(mutex);
        stopping = false;
        openGL = false;
    }
    startRendererThread();
}

void PlayerEngine::startRendererThread()
{
    if (renderer_.joinable()) return;
    try {
        renderer_ = std::thread([this] { renderLoop(); });
    } catch (const std::system_error&) { }
}

bool PlayerEngine::startOpenGL(GLFunctionFinder find, void* findContext)
{
    mpv_opengl_init_params init{find, findContext};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* created = nullptr;
    if (mpv_render_context_create(&created, mpv.get(), params) < 0) return false;
    render.reset(created);
    {
        std::lock_guard lock(mutex);
        openGL = true;
        latest = QImage();
    }
    mpv_render_context_set_update_callback(
        created,
        [](void* data) {
            auto* engine = static_cast<PlayerEngine*>(data);
            std::lock_guard lock(engine->mutex);
            engine->postFrame();
        },
        this);
    return true;
}

void PlayerEngine::stopRenderer()
{
    if (renderer_.joinable()) {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            wake.notify_one();
        }
        renderer_.join();
    }
    render.reset();
}

QImage PlayerEngine::screenshot()
{
    const char* command[] = {"screenshot-raw", "video", nullptr};
    mpv_node result{};
    if (mpv_command_ret(mpv.get(), command, &result) < 0) return {};
    int64_t width = 0, height = 0, stride = 0;
    const mpv_byte_array* bytes = nullptr;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const std::string key = result.u.list->keys[i];
            const mpv_node& value = result.u.list->values[i];
            if (key == "w")
                width = value.u.int64;
            else if (key == "h")
                height = value.u.int64;
            else if (key == "stride")
                stride = value.u.int64;
            else if (key == "data" && value.format == MPV_FORMAT_BYTE_ARRAY)
                bytes = value.u.ba;
        }
    }
    QImage image;
    if (bytes && width > 0 && height > 0 && stride >= width * 4 && int64_t(bytes->size) >= stride * height) {
        image = QImage(int(width), int(height), QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            const auto* from = static_cast<const uint32_t*>(bytes->data) + y * (stride / 4);
            auto* to = reinterpret_cast<uint32_t*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) to[x] = from[x] | 0xff000000u;
        }
    }
    mpv_free_node_contents(&result);
    return image;
}

void PlayerEngine::hide()
{
    std::lock_guard lock(mutex);
    showing = false;
    latest = QImage();
}

void PlayerEngine::show()
{
    std::lock_guard lock(mutex);
    if (showing) return;
    showing = true;
    redrawWanted = true;
    renderWanted = true;
    wake.notify_one();
    // The OpenGL back end draws when the view paints.
    if (openGL) postFrame();
}

QImage PlayerEngine::draw(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    int sizes[2] = {size.width(), size.height()};
    size_t stride = size_t(image.bytesPerLine());
    char format[] = "bgr0";
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, sizes},     {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride}, {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(render.get(), params) < 0) return {};
    // "bgr0" leaves the fourth byte undefined; the picture is opaque.
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) line[x] |= 0xff000000u;
    }
    return image;
}

void PlayerEngine::renderLoop()
{
    for (;;) {
        QSize size;
        bool again = false;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return stopping || renderWanted; });
            if (stopping) return;
            renderWanted = false;
            size = drawingSize();
            // A paused picture is drawn again at a new size, or once shown again.
            again = (!latest.isNull() && latest.size() != size) || std::exchange(redrawWanted, false);
        }
        if (!(mpv_render_context_update(render.get()) & MPV_RENDER_UPDATE_FRAME) && !again) continue;
        if (size.isEmpty()) size = QSize(16, 16);
        QImage image = draw(size);
        std::lock_guard lock(mutex);
        if (image.isNull() || !showing) continue;
        latest = std::move(image);
        ++framesDrawn;
        postFrame();
    }
}

} // namespace zanto
