#include "platform/media/Player.h"

#include "platform/media/BackwardPlay.h"
#include "platform/media/KeyFrameAim.h"
#include "platform/media/MediaError.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace zanto {

namespace {

struct HandleDeleter {
    void operator()(mpv_handle* handle) const { mpv_terminate_destroy(handle); }
};
struct RenderDeleter {
    void operator()(mpv_render_context* context) const { mpv_render_context_free(context); }
};

// Seek replies carry their generation; other commands reply with 0.
constexpr uint64_t noReply = 0;

std::atomic<uint64_t> nextItemId{1};

std::string secondsText(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", seconds);
    return text;
}

QSize uprightSize(const MediaAsset& asset)
{
    if (!asset.video) return {};
    const VideoTrackInfo& video = *asset.video;
    const int turns = video.preferredTransform.quarterTurns();
    if (turns == 1 || turns == 3) return QSize(video.height, video.width);
    return QSize(video.width, video.height);
}

// The software renderer cannot turn pictures (mpv 0.35 asserts on a rotated
// source), so a turned movie is turned upright by filters before it.
std::string uprightFilters(const MediaAsset& asset)
{
    if (!asset.video) return {};
    switch (asset.video->preferredTransform.quarterTurns()) {
    case 1:
        return "transpose=clock";
    case 2:
        return "hflip,vflip";
    case 3:
        return "transpose=cclock";
    default:
        return {};
    }
}

// mpv's length-prefixed quoting for a value in an option list.
std::string quoted(const std::string& value)
{
    return "%" + std::to_string(value.size()) + "%" + value;
}

// Exact seeks in mpv show the first frame at or after the target; the frame
// covering a time is the one that starts at or before it, as an export takes
// it. With a constant rate the target moves back to that frame's start,
// counted from the first picture: in a Matroska file or a transport stream
// the sound comes first and the pictures start a little after the file.
double frameStart(const MediaAsset& asset, double seconds)
{
    if (!asset.video || !asset.video->constantFrameRate || asset.video->frameDuration.value <= 0) return seconds;
    const double first = asset.video->timeRange.start.seconds();
    if (seconds <= first) return seconds;
    const double frame = asset.frameSeconds();
    return first + std::floor((seconds - first) / frame + 1e-6) * frame;
}

} // namespace

// What mpv shares with its own threads. The wakeup callback and the renderer
// thread reach the GUI thread only through `context`, guarded by `mutex`,
// which the destructor clears before mpv goes away.
struct Player::Engine {
    std::unique_ptr<mpv_handle, HandleDeleter> mpv;
    std::unique_ptr<mpv_render_context, RenderDeleter> render;
    std::unique_ptr<QObject> context = std::make_unique<QObject>();

    std::mutex mutex; // guards everything below
    std::condition_variable wake;
    bool stopping = false; // the software renderer's thread ends
    bool openGL = false;
    bool renderWanted = false;
    bool drainPosted = false;
    bool framePosted = false;
    QSize naturalSize;
    QSize outputSize;
    QImage latest;
    uint64_t framesDrawn = 0;
    std::thread renderer;
    std::pair<Engine*, Player*> updateTarget; // what the OpenGL renderer's update callback reaches

    // Playback state, GUI thread only.
    int64_t entryId = 0;      // mpv's playlist entry of the current item
    int64_t startedEntry = 0; // the entry mpv started last
    bool loaded = false;
    std::optional<double> loadStart; // where the file loading was asked to start
    // Where the file loaded, until mpv's clock shows a picture of it: a clock
    // that stands before it then tells a file whose data ends before there.
    std::optional<double> landing;
    bool backward = false;        // mpv plays backwards (a movie without video)
    bool failureReported = false; // the current item's failure was reported
    bool atEnd = false;
    // The current entry has landed once since it loaded: before that, what
    // mpv tells of its end is the end of the file before it.
    bool restarted = false;
    // A file without an index lands on the first key frame after where
    // mpv's demuxer aims: where to aim for a target.
    std::unique_ptr<media::KeyFrameAim> keyFrames;
    // mpv reached the end of a stretch of sound alone while its output still
    // plays the last of it (a few tenths of a second): the end is told once
    // mpv pauses by itself, the sound played out.
    bool soundPlayingOut = false;

    // Backward play of pictures, GUI thread only.
    std::unique_ptr<BackwardPlay> backwardPlay;

    void post(std::function<void()> call)
    {
        if (context) QMetaObject::invokeMethod(context.get(), std::move(call), Qt::QueuedConnection);
    }
    // GUI thread only: a call `milliseconds` from now, dropped with the Player.
    void postDelayed(int milliseconds, std::function<void()> call)
    {
        QTimer::singleShot(milliseconds, context.get(), std::move(call));
    }
    void renderLoop(Player* player);
    QImage draw(QSize size);
    void startSoftware(Player* player);
    void startRendererThread(Player* player);
    bool startOpenGL(Player* player, GLFunctionFinder find, void* findContext);
    void stopRenderer();
    void postFrame(Player* player);
    QImage screenshot();
};

void Player::Engine::postFrame(Player* player)
{
    if (framePosted) return;
    framePosted = true;
    post([this, player] {
        {
            std::lock_guard lock(mutex);
            framePosted = false;
        }
        if (player->frameHandler_) player->frameHandler_();
    });
}

void Player::Engine::startSoftware(Player* player)
{
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* context = nullptr;
    const int code = mpv_render_context_create(&context, mpv.get(), params);
    if (code < 0) throw MediaError(std::string("Cannot start the picture renderer: ") + mpv_error_string(code));
    render.reset(context);
    mpv_render_context_set_update_callback(
        context,
        [](void* data) {
            auto* engine = static_cast<Engine*>(data);
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
    startRendererThread(player);
}

// Where the system refuses the thread, no picture is drawn until it gives
// one: each new item asks again.
void Player::Engine::startRendererThread(Player* player)
{
    if (renderer.joinable()) return;
    try {
        renderer = std::thread([this, player] { renderLoop(player); });
    } catch (const std::system_error&) { }
}

bool Player::Engine::startOpenGL(Player* player, GLFunctionFinder find, void* findContext)
{
    mpv_opengl_init_params init{find, findContext};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* context = nullptr;
    if (mpv_render_context_create(&context, mpv.get(), params) < 0) return false;
    render.reset(context);
    {
        std::lock_guard lock(mutex);
        openGL = true;
        latest = QImage();
    }
    updateTarget = {this, player};
    mpv_render_context_set_update_callback(
        context,
        [](void* data) {
            auto* target = static_cast<std::pair<Engine*, Player*>*>(data);
            std::lock_guard lock(target->first->mutex);
            target->first->postFrame(target->second);
        },
        &updateTarget);
    return true;
}

void Player::Engine::stopRenderer()
{
    if (renderer.joinable()) {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            wake.notify_one();
        }
        renderer.join();
    }
    render.reset();
}

QImage Player::Engine::screenshot()
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

QImage Player::Engine::draw(QSize size)
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

void Player::Engine::renderLoop(Player* player)
{
    for (;;) {
        QSize size;
        bool resized = false;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return stopping || renderWanted; });
            if (stopping) return;
            renderWanted = false;
            size = outputSize.isEmpty() ? naturalSize : naturalSize.scaled(outputSize, Qt::KeepAspectRatio);
            // A paused picture is drawn again at a new size.
            resized = !latest.isNull() && latest.size() != size;
        }
        if (!(mpv_render_context_update(render.get()) & MPV_RENDER_UPDATE_FRAME) && !resized) continue;
        if (size.isEmpty()) size = QSize(16, 16);
        QImage image = draw(size);
        std::lock_guard lock(mutex);
        if (image.isNull()) continue;
        latest = std::move(image);
        ++framesDrawn;
        postFrame(player);
    }
}

namespace {

void setOption(mpv_handle* mpv, const char* name, const std::string& value)
{
    const int code = mpv_set_option_string(mpv, name, value.c_str());
    if (code < 0) throw MediaError(std::string("Cannot set the player option ") + name + ": " + mpv_error_string(code));
}

} // namespace

Player::Player(const PlayerOptions& options) : engine_(std::make_unique<Engine>())
{
    engine_->backwardPlay = std::make_unique<BackwardPlay>(BackwardPlay::Hooks{
        .shown =
            [this] {
                std::lock_guard lock(engine_->mutex);
                ++engine_->framesDrawn;
                engine_->postFrame(this);
            },
        .ended = [this] { pause(); },
    });
    engine_->mpv.reset(mpv_create());
    if (!engine_->mpv) throw MediaError("Cannot create the player");
    mpv_handle* mpv = engine_->mpv.get();
    // A preview: no user configuration, no on-screen display, no keys; exact
    // seeks; the last frame stays up at the end instead of unloading the file.
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, std::string>>{
             {"config", "no"},
             {"terminal", "no"},
             {"input-default-bindings", "no"},
             {"input-vo-keyboard", "no"},
             {"osd-level", "0"},
             {"load-scripts", "no"},
             {"ytdl", "no"},
             {"sub-auto", "no"},
             {"audio-file-auto", "no"},
             {"vo", "libmpv"},
             {"hr-seek", "yes"},
             {"keep-open", "yes"},
             {"idle", "yes"},
             {"pause", "yes"},
             // mpv's own clock, which it rebases by rules of its own (its
             // Matroska reader counts from the first picture), is turned
             // into the probe's at the calls to mpv: one clock for the
             // player, the probe and an export.
             {"rebase-start-time", "no"},
             {"hwdec", options.hardwareDecoding ? "auto-safe" : "no"},
             {"gpu-hwdec-interop", options.hardwareDecoding ? "auto" : "no"}}) {
        setOption(mpv, name, value);
    }
    // Without a sound device mpv plays on with a silent output.
    if (options.audioOutput.empty())
        setOption(mpv, "audio-fallback-to-null", "yes");
    else
        setOption(mpv, "ao", options.audioOutput);
    if (!options.audioFile.empty()) {
        setOption(mpv, "ao-pcm-file", options.audioFile.string());
        setOption(mpv, "ao-pcm-waveheader", "yes");
    }
    const int code = mpv_initialize(mpv);
    if (code < 0) throw MediaError(std::string("Cannot start the player: ") + mpv_error_string(code));

    engine_->startSoftware(this);

    // Warnings tell of pictures mpv cannot decode.
    mpv_request_log_messages(mpv, "warn");
    mpv_observe_property(mpv, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, 0, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, 0, "pause", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(
        mpv,
        [](void* data) {
            auto* player = static_cast<Player*>(data);
            Engine& engine = *player->engine_;
            std::lock_guard lock(engine.mutex);
            if (engine.drainPosted) return;
            engine.drainPosted = true;
            engine.post([player] { player->drainEvents(); });
        },
        this);
}

Player::~Player()
{
    finishSeek(false);
    engine_->stopRenderer();
    {
        std::lock_guard lock(engine_->mutex);
        engine_->context.reset();
    }
    mpv_set_wakeup_callback(engine_->mpv.get(), nullptr, nullptr);
    engine_->mpv.reset();
}

PlayerItemRef Player::open(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    auto item = std::make_shared<PlayerItem>();
    item->path = path;
    item->asset = MediaAsset::load(path);
    item->id = nextItemId++;
    return item;
}

void Player::replaceCurrentItem(PlayerItemRef item, const MediaTime& start)
{
    finishSeek(false);
    Engine& engine = *engine_;
    mpv_handle* mpv = engine.mpv.get();
    engine.backwardPlay->drop();
    item_ = std::move(item);
    engine.loaded = false;
    engine.failureReported = false;
    engine.loadStart.reset();
    engine.landing.reset();
    engine.atEnd = false;
    engine.restarted = false;
    engine.soundPlayingOut = false;
    engine.keyFrames.reset();
    if (item_ && item_->asset.seekPreroll.value > 0)
        engine.keyFrames = std::make_unique<media::KeyFrameAim>(item_->asset);
    setRate(0);
    {
        std::lock_guard lock(engine.mutex);
        engine.naturalSize = item_ ? uprightSize(item_->asset) : QSize();
        engine.latest = QImage();
    }
    if (!item_) {
        engine.entryId = 0;
        const char* stop[] = {"stop", nullptr};
        // Synchronous like the loadfile below: a queued asynchronous stop
        // could run after a file loaded at once after it, and end that file.
        mpv_command(mpv, stop);
        return;
    }
    if (!drawsWithOpenGL()) engine.startRendererThread(this);
    // The forward end goes with the file so that it holds from the first frame.
    std::string options =
        forwardEnd_.isValid() && !engine.backward ? "end=" + mpvTime(forwardEnd_.seconds()) : "end=none";
    if (const std::string filters = uprightFilters(item_->asset); !filters.empty())
        options += ",video-rotate=no,vf=" + quoted(filters);
    // Loaded at its start and sought there once loaded, mpv may show the
    // file's first frame meanwhile, a picture from another moment.
    if (start.isValid()) {
        engine.loadStart = frameStart(item_->asset, start.seconds());
        options += ",start=" + mpvTime(*engine.loadStart);
        if (engine.keyFrames) options += ",hr-seek-demuxer-offset=" + secondsText(prerollFor(*engine.loadStart));
        seek_.stage = PendingSeek::Stage::ByLoad;
        seek_.target = *engine.loadStart;
    }
    const std::string path = item_->path.string();
    const char* load[] = {"loadfile", path.c_str(), "replace", options.c_str(), nullptr};
    mpv_node result{};
    engine.entryId = -1;
    if (mpv_command_ret(mpv, load, &result) >= 0) {
        if (result.format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < result.u.list->num; ++i) {
                if (std::string(result.u.list->keys[i]) == "playlist_entry_id")
                    engine.entryId = result.u.list->values[i].u.int64;
            }
        }
        mpv_free_node_contents(&result);
    }
}

void Player::setEndTimes(const MediaTime& reverseEnd, const MediaTime& forwardEnd)
{
    forwardEnd_ = forwardEnd;
    engine_->backwardPlay->setReverseEnd(reverseEnd);
    if (item_) applyForwardEnd();
}

void Player::applyForwardEnd()
{
    // mpv reads `end` in backward play as where playing backwards ends (and
    // stops at once); the reverse end is watched here instead.
    const bool forward = forwardEnd_.isValid() && !engine_->backward;
    const std::string end = forward ? mpvTime(forwardEnd_.seconds()) : "none";
    mpv_set_property_string(engine_->mpv.get(), "file-local-options/end", end.c_str());
}

void Player::seek(const MediaTime& time, SeekCompletion completion)
{
    // Backward play goes on from the new place once mpv is there.
    engine_->backwardPlay->halt();
    seekTo(time, std::move(completion));
}

// The last seek asked wins: whatever was under way before it completes
// with false, and the new one takes its place in whichever stage the file
// is in.
void Player::seekTo(const MediaTime& time, SeekCompletion completion)
{
    finishSeek(false);
    engine_->soundPlayingOut = false;
    seek_.completion = std::move(completion);
    if (!item_) return finishSeek(false);
    engine_->landing.reset();
    seek_.target = frameStart(item_->asset, time.seconds());
    if (engine_->loaded) return sendSeek();
    // The load lands there itself: its first picture completes the seek.
    const bool byLoad = engine_->loadStart == seek_.target;
    seek_.stage = byLoad ? PendingSeek::Stage::ByLoad : PendingSeek::Stage::AfterLoad;
}

// Ends the seek under way, running its completion with `finished`.
void Player::finishSeek(bool finished)
{
    seek_.stage = PendingSeek::Stage::None;
    if (!seek_.completion) return;
    // Later, so that a completion never runs inside the call that superseded
    // it, and through the application, so that it still runs when the Player
    // is gone by then.
    auto call = [completion = std::exchange(seek_.completion, {}), finished] { completion(finished); };
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(call), Qt::QueuedConnection);
    else
        call();
}

void Player::setRate(double rate)
{
    rate = std::clamp(rate, -8.0, 8.0);
    engine_->soundPlayingOut = false;
    mpv_handle* mpv = engine_->mpv.get();
    rate_ = item_ ? rate : 0.0;
    // Pictures play backwards here; only a movie without them plays
    // backwards in mpv.
    const bool ownBackward = rate_ < 0 && item_->asset.video;
    if (!ownBackward) leaveBackward();
    if (rate_ != 0 && item_->asset.video && !engine_->backwardPlay->hasFrames()) makeBackwardFrames();
    // Without its frames (no thread for their worker) backward play stays
    // paused on the picture on show.
    if (ownBackward && !engine_->backwardPlay->hasFrames()) rate_ = 0;
    if (rate_ == 0) {
        mpv_set_property_string(mpv, "pause", "yes");
        return;
    }
    if (ownBackward) return startBackward();
    const bool backward = rate_ < 0;
    if (backward != engine_->backward) {
        engine_->backward = backward;
        applyForwardEnd();
        mpv_set_property_string(mpv, "play-dir", backward ? "backward" : "forward");
    }
    if (!backward && atEnd()) {
        // Forward play asked for at the end ends at once, as it would on
        // reaching it: an end, or a file whose data ran out.
        engine_->post([this, id = item_->id] {
            if (item_ && item_->id == id && rate_ > 0) handleEndOfFile();
        });
    }
    double speed = std::abs(rate_);
    mpv_set_property(mpv, "speed", MPV_FORMAT_DOUBLE, &speed);
    mpv_set_property_string(mpv, "pause", "no");
}

double Player::currentTime() const
{
    if (!item_) return std::numeric_limits<double>::quiet_NaN();
    if (engine_->backwardPlay->active()) return engine_->backwardPlay->standInSeconds();
    // While a seek is under way mpv still tells where it was.
    if (seek_.stage != PendingSeek::Stage::None) return seek_.target;
    return mpvPosition().value_or(0);
}

QImage Player::latestFrame() const
{
    if (!engine_->backwardPlay->standIn().isNull()) return engine_->backwardPlay->standIn();
    {
        std::lock_guard lock(engine_->mutex);
        if (!engine_->openGL) return engine_->latest;
    }
    return item_ ? engine_->screenshot() : QImage();
}

QImage Player::standInFrame() const
{
    return engine_->backwardPlay->standIn();
}

bool Player::useOpenGL(GLFunctionFinder find, void* findContext)
{
    if (drawsWithOpenGL()) return true;
    const double seconds = currentTime();
    engine_->stopRenderer();
    const bool ok = engine_->startOpenGL(this, find, findContext);
    if (!ok) engine_->startSoftware(this);
    reloadPicture(seconds);
    return ok;
}

void Player::useSoftware()
{
    if (!drawsWithOpenGL()) return;
    const double seconds = currentTime();
    engine_->stopRenderer();
    engine_->startSoftware(this);
    reloadPicture(seconds);
}

bool Player::drawsWithOpenGL() const
{
    std::lock_guard lock(engine_->mutex);
    return engine_->openGL;
}

void Player::drawOpenGL(int framebuffer, int width, int height)
{
    if (!drawsWithOpenGL()) return;
    mpv_opengl_fbo target{framebuffer, width, height, 0};
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_update(engine_->render.get());
    if (mpv_render_context_render(engine_->render.get(), params) < 0) return;
    std::lock_guard lock(engine_->mutex);
    ++engine_->framesDrawn;
}

// mpv gives up the video of the file playing when its renderer goes; the
// file is loaded again where it was (read before the renderer went) so that
// the picture comes back.
void Player::reloadPicture(double seconds)
{
    if (!item_) return;
    if (!std::isfinite(seconds)) return replaceCurrentItem(item_);
    const MediaTime at = MediaTime::fromSeconds(seconds, 60000);
    replaceCurrentItem(item_, at);
    seek(at);
}

void Player::setOutputSize(const QSize& box)
{
    std::lock_guard lock(engine_->mutex);
    if (engine_->outputSize == box) return;
    engine_->outputSize = box;
    engine_->renderWanted = true;
    engine_->wake.notify_one();
}

QSize Player::naturalSize() const
{
    std::lock_guard lock(engine_->mutex);
    return engine_->naturalSize;
}

uint64_t Player::framesDrawn() const
{
    std::lock_guard lock(engine_->mutex);
    return engine_->framesDrawn;
}

void Player::drainEvents()
{
    {
        std::lock_guard lock(engine_->mutex);
        engine_->drainPosted = false;
    }
    mpv_handle* mpv = engine_->mpv.get();
    for (;;) {
        const mpv_event* event = mpv_wait_event(mpv, 0);
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            return;
        case MPV_EVENT_COMMAND_REPLY:
            if (event->reply_userdata != noReply) handleSeekReply(event->reply_userdata, event->error >= 0);
            break;
        case MPV_EVENT_START_FILE:
            engine_->startedEntry = static_cast<mpv_event_start_file*>(event->data)->playlist_entry_id;
            break;
        case MPV_EVENT_FILE_LOADED:
            if (engine_->startedEntry == engine_->entryId) handleFileLoaded();
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<mpv_event_end_file*>(event->data);
            if (end->playlist_entry_id == engine_->entryId && end->reason == MPV_END_FILE_REASON_ERROR) {
                finishSeek(false);
                reportFailure();
            }
            break;
        }
        case MPV_EVENT_PLAYBACK_RESTART:
            handlePlaybackRestart();
            break;
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* log = static_cast<mpv_event_log_message*>(event->data);
            // mpv plays on over pictures it cannot decode; the file is
            // damaged. (A hardware decoder's failure says so and falls back.)
            if (std::string_view(log->prefix) == "vd"
                && std::string_view(log->text).starts_with("Error while decoding frame!"))
                handleDamage();
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* property = static_cast<mpv_event_property*>(event->data);
            const std::string name = property->name;
            // The end of the file before still comes until the current one starts.
            if (name == "eof-reached" && property->format == MPV_FORMAT_FLAG
                && engine_->startedEntry == engine_->entryId)
                handleEndReached(*static_cast<int*>(property->data) != 0);
            else if (name == "pause" && property->format == MPV_FORMAT_FLAG && *static_cast<int*>(property->data))
                handlePausedByMpv();
            else if (name == "time-pos" && property->format == MPV_FORMAT_DOUBLE)
                handleTimePosition(playerTime(*static_cast<double*>(property->data)));
            break;
        }
        default:
            break;
        }
    }
}

void Player::handleFileLoaded()
{
    engine_->loaded = true;
    if (seek_.stage == PendingSeek::Stage::AfterLoad) sendSeek();
}

// How far before `seconds` mpv's demuxer must aim to land on a key frame at
// or before it: where the export's decoder lands for the same time.
double Player::prerollFor(double seconds) const
{
    if (!engine_->keyFrames) return 0;
    return engine_->keyFrames->prerollFor(MediaTime::fromSeconds(seconds, 90000)).seconds();
}

void Player::sendSeek()
{
    if (engine_->keyFrames) {
        const std::string offset = secondsText(prerollFor(seek_.target));
        mpv_set_property_string(engine_->mpv.get(), "file-local-options/hr-seek-demuxer-offset", offset.c_str());
    }
    seek_.stage = PendingSeek::Stage::Sent;
    ++seek_.generation;
    const std::string target = mpvTime(seek_.target);
    const char* command[] = {"seek", target.c_str(), "absolute+exact", nullptr};
    if (mpv_command_async(engine_->mpv.get(), seek_.generation, command) < 0) finishSeek(false);
}

void Player::handleEndReached(bool atEnd)
{
    // Noted first: the end handler may make the next item current, whose
    // end this is not.
    const bool arrived = atEnd && !engine_->atEnd;
    engine_->atEnd = atEnd;
    if (!arrived) return;
    if (rate_ > 0 && endsInSoundAlone()) return waitForSoundToPlayOut();
    handleEndOfFile();
}

// Whether forward play ends where no picture covers the time: a movie without
// video, or the sound that outlasts the pictures.
bool Player::endsInSoundAlone() const
{
    if (!item_->asset.audio) return false;
    if (!item_->asset.video) return true;
    const double end = forwardEnd_.isValid() ? forwardEnd_.seconds() : item_->durationSeconds();
    return !withinPictures(end);
}

// mpv tells of the end once the last sound is decoded, and pauses by itself
// once its output has played it (handlePausedByMpv). Should the output never
// finish (a sound device that stopped), the end is told a second later all
// the same.
void Player::waitForSoundToPlayOut()
{
    engine_->soundPlayingOut = true;
    engine_->postDelayed(1000, [this, id = item_->id] {
        if (item_ && item_->id == id && std::exchange(engine_->soundPlayingOut, false)) handleEndOfFile();
    });
}

void Player::handleSeekReply(uint64_t generation, bool ok)
{
    if (generation != seek_.generation || seek_.stage != PendingSeek::Stage::Sent) return;
    if (!ok) return finishSeek(false);
    seek_.stage = PendingSeek::Stage::Taken;
}

void Player::handlePlaybackRestart()
{
    using Stage = PendingSeek::Stage;
    if (!engine_->loaded) return;
    engine_->restarted = true;
    if (seek_.stage != Stage::Taken && seek_.stage != Stage::ByLoad) return;
    // The load's own landing is watched until mpv's clock tells which picture
    // it found, where a picture must cover the time asked: inside the
    // pictures, and short of the forward end by a frame or more, for mpv
    // stops there as at the file's end, on a good file sometimes before the
    // picture covering the time asked.
    if (seek_.stage == Stage::ByLoad && item_ && item_->asset.video && withinPictures(seek_.target)
        && (!forwardEnd_.isValid() || forwardEnd_.seconds() >= seek_.target + 2 * item_->asset.frameSeconds()))
        engine_->landing = seek_.target;
    // mpv shows the frame backward play stopped on.
    engine_->backwardPlay->settled(seek_.generation);
    finishSeek(true);
    // A seek during backward play: on backwards from there.
    if (rate_ < 0 && item_ && item_->asset.video && !engine_->backwardPlay->active()) startBackward();
}

void Player::handleEndOfFile()
{
    // Backwards to the start of the file is the reverse end, and a seek to the
    // last frame while paused is no end of play either.
    const bool playing = rate_ > 0;
    pause();
    if (!playing || !item_) return;
    if (endedShort()) {
        reportFailure();
    } else if (endHandler_) {
        endHandler_(item_->id);
    }
}

// mpv pauses by itself only where forward play reached its end, the file's
// or the forward end, its sound played out; and it does not always tell of
// that end (a stretch shorter than the time its output takes to start). A
// pause this Player asked for comes with a rate of 0, or is read undone.
void Player::handlePausedByMpv()
{
    int paused = 0;
    if (rate_ <= 0 || !engine_->restarted) return;
    if (mpv_get_property(engine_->mpv.get(), "pause", MPV_FORMAT_FLAG, &paused) < 0 || !paused) return;
    handleEndOfFile();
}

void Player::handleDamage()
{
    // Only the file of the current entry, once loaded: messages of the one before may still come.
    if (engine_->loaded && engine_->startedEntry == engine_->entryId) reportFailure();
}

void Player::reportFailure()
{
    if (!item_ || engine_->failureReported) return;
    engine_->failureReported = true;
    if (failureHandler_) failureHandler_(item_->id);
}

// Whether forward play stopped well before its forward end (or the movie's
// stated end): the file's data runs out there.
bool Player::endedShort() const
{
    const std::optional<double> position = mpvPosition();
    if (!position) return false;
    const double seconds = *position;
    double end = item_->durationSeconds();
    if (forwardEnd_.isValid()) end = std::min(end, forwardEnd_.seconds());
    // The last frame starts up to a frame before the end; clip ranges may
    // end a little past a file's end.
    return seconds + item_->asset.frameSeconds() + 0.05 < end;
}

// Whether the picture at `seconds` stands before where the file landed, so
// that none of the pictures from there on can be shown. With an even frame
// rate the file landed at the start of the frame covering the time asked;
// in a movie whose frames last unevenly, that frame starts up to a couple
// of frames before.
bool Player::beforeLanding(double seconds) const
{
    if (!engine_->landing) return false;
    const double frame = item_->asset.frameSeconds();
    const bool even = item_->asset.video && item_->asset.video->constantFrameRate;
    return seconds < *engine_->landing - (even ? frame / 2 : 2 * frame + 0.05);
}

// Whether mpv stands at the end of the file's data. Read as well as
// observed: a file whose data ran out while it loaded, paused, reaches its
// end without mpv telling of the change.
bool Player::atEnd() const
{
    int reached = 0;
    const bool read =
        engine_->restarted && mpv_get_property(engine_->mpv.get(), "eof-reached", MPV_FORMAT_FLAG, &reached) >= 0;
    return engine_->atEnd || (read && reached);
}

// Whether `seconds` lies where the video track has pictures to cover it: not
// in the sound that outlasts them.
bool Player::withinPictures(double seconds) const
{
    const MediaTimeRange& pictures = item_->asset.video->timeRange;
    const double end = (pictures.start + pictures.duration).seconds();
    return pictures.duration.value <= 0 || seconds < end - item_->asset.frameSeconds();
}

void Player::handleTimePosition(double seconds)
{
    // While a seek is under way mpv's clock still tells where it was.
    if (seek_.stage != PendingSeek::Stage::None) return;
    // Until the picture found is up, mpv's clock tells the time the file was
    // loaded at, which tells nothing of that picture; and mpv may tell that
    // change after the playback restart, as it tells every change of a
    // property after the events queued with it.
    if (engine_->landing && std::abs(seconds - *engine_->landing) > 1e-5) {
        // The file's data ends before where it was loaded: mpv shows the
        // last picture there is, from outside the item.
        if (beforeLanding(seconds)) return reportFailure();
        engine_->landing.reset();
    }
    // Forward play is followed.
    engine_->backwardPlay->follow(seconds, rate_);
    const MediaTime& reverseEnd = engine_->backwardPlay->reverseEnd();
    if (rate_ < 0 && reverseEnd.isValid() && seconds <= reverseEnd.seconds() + 1e-3) {
        pause();
        const std::string target = mpvTime(reverseEnd.seconds());
        const char* command[] = {"seek", target.c_str(), "absolute+exact", nullptr};
        mpv_command_async(engine_->mpv.get(), noReply, command);
    }
}

// mpv counts on the container's own clock; the player from the file's first
// presentation time, as the probe and an export do.
std::string Player::mpvTime(double seconds) const
{
    return secondsText(seconds + origin());
}

double Player::playerTime(double mpvSeconds) const
{
    return mpvSeconds - origin();
}

double Player::origin() const
{
    return item_ ? item_->asset.firstPresentationTime.seconds() : 0.0;
}

std::optional<double> Player::mpvPosition() const
{
    double seconds = 0;
    if (mpv_get_property(engine_->mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0) return std::nullopt;
    return playerTime(seconds);
}

// The current item's backward frames, from its first play on, at the size
// pictures are drawn.
void Player::makeBackwardFrames()
{
    QSize size;
    {
        std::lock_guard lock(engine_->mutex);
        size = engine_->outputSize.isEmpty() ? engine_->naturalSize
                                             : engine_->naturalSize.scaled(engine_->outputSize, Qt::KeepAspectRatio);
    }
    engine_->backwardPlay->makeFrames(item_->asset, size);
}

void Player::startBackward()
{
    BackwardPlay& backward = *engine_->backwardPlay;
    backward.setRate(rate_);
    if (backward.active()) return;
    mpv_set_property_string(engine_->mpv.get(), "pause", "yes");
    backward.start(currentTime());
}

// Backward play ends: mpv is sought to the frame reached, whose picture
// stands in until mpv shows it.
void Player::leaveBackward()
{
    BackwardPlay& backward = *engine_->backwardPlay;
    const std::optional<double> reached = backward.leave();
    if (!reached) return; // none shown: mpv still shows where it was
    {
        std::lock_guard lock(engine_->mutex);
        if (!engine_->openGL) engine_->latest = backward.standIn();
    }
    seekTo(MediaTime::fromSeconds(*reached, 60000), {});
    backward.settleWith(seek_.generation);
}

} // namespace zanto
