#pragma once
// What the preview player shares with libmpv's own threads: the mpv handle,
// its picture renderer (software into images on a thread of its own, or
// OpenGL into a view), and the way back to the GUI thread. Inside the media
// layer only.
#include <QImage>
#include <QObject>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct mpv_handle;
struct mpv_render_context;

namespace zanto {

struct PlayerEngine {
    struct HandleDeleter {
        void operator()(mpv_handle* handle) const;
    };
    struct RenderDeleter {
        void operator()(mpv_render_context* context) const;
    };
    using GLFunctionFinder = void* (*)(void* findContext, const char* name);

    // `frameShown` runs on the GUI thread once a new picture is up.
    explicit PlayerEngine(std::function<void()> frameShown) : frameShown_(std::move(frameShown)) { }

    std::unique_ptr<mpv_handle, HandleDeleter> mpv;
    std::unique_ptr<mpv_render_context, RenderDeleter> render;
    // The wakeup callback and the renderer thread reach the GUI thread only
    // through `context`, guarded by `mutex`, which the owner clears before
    // mpv goes away.
    std::unique_ptr<QObject> context = std::make_unique<QObject>();

    std::mutex mutex; // guards everything below
    std::condition_variable wake;
    bool stopping = false; // the software renderer's thread ends
    bool openGL = false;
    bool renderWanted = false;
    // The pictures mpv draws are the current item's. Across a stop or a new
    // load mpv keeps the last picture of the file before and draws it again
    // when its output is reset: from the load until it lands, nothing drawn
    // is kept or shown.
    bool showing = true;
    bool redrawWanted = false; // drawn once more, though mpv has no new picture
    bool drainPosted = false;
    bool framePosted = false;
    QSize naturalSize;
    QSize outputSize;
    QImage latest;
    uint64_t framesDrawn = 0;

    // Runs `call` later on the GUI thread, unless the engine's context is gone.
    void post(std::function<void()> call);
    // GUI thread only: a call `milliseconds` from now, dropped with the engine.
    void postDelayed(int milliseconds, std::function<void()> call);
    // With `mutex` held: a new picture is told once, whatever drew it.
    void postFrame();
    // The size pictures are drawn at: the natural size fitted into the output box. With `mutex` held.
    QSize drawingSize() const;

    void startSoftware();
    // Where the system refuses the thread, no picture is drawn until it gives one.
    void startRendererThread();
    bool startOpenGL(GLFunctionFinder find, void* findContext);
    void stopRenderer();
    // The picture on show, read back from mpv (the OpenGL back end keeps none).
    QImage screenshot();
    // A load starts: what is drawn until it lands is not shown.
    void hide();
    // The load landed: mpv's picture is the current item's; it is drawn again.
    void show();

private:
    void renderLoop();
    QImage draw(QSize size);

    std::function<void()> frameShown_;
    std::thread renderer_;
};

} // namespace zanto
