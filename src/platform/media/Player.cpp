#include "platform/media/Player.h"

#include "platform/media/BackwardPlay.h"
#include "platform/media/FrameReader.h"
#include "platform/media/KeyFrameAim.h"
#include "platform/media/MediaError.h"
#include "platform/media/PlayerEngine.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

namespace zanto {

namespace {

// Seek replies carry their generation; other requests reply with 0.
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

// Exact seeks in mpv show the first frame at or after the target (less 5 ms);
// the frame covering a time is the one that starts at or before it, as an
// export takes it. With a constant rate the target moves back to that
// frame's start, counted from the first picture: in a Matroska file or a
// transport stream the sound comes first and the pictures start a little
// after the file. A container that keeps coarse ticks (Matroska's
// milliseconds) writes each frame's time rounded to them: the time written
// for a frame may lie up to half a tick before its start on the grid.
double frameStart(const MediaAsset& asset, double seconds)
{
    if (!asset.video || !asset.video->constantFrameRate || asset.video->frameDuration.value <= 0) return seconds;
    const double first = asset.video->timeRange.start.seconds();
    if (seconds <= first) return seconds;
    const double frame = asset.frameSeconds();
    // Frames a whole number of ticks long keep exact times.
    const double ticks = asset.video->timeRange.start.timeScale * frame;
    const double halfTick =
        std::abs(ticks - std::round(ticks)) > 1e-6 ? 0.5 / asset.video->timeRange.start.timeScale : 0;
    return first + std::floor((seconds - first + halfTick) / frame + 1e-6) * frame;
}

// How far before a target mpv's demuxer aims in a file with an index. The
// index finds a key frame by its decoding time, which comes before its
// showing by the frames it reorders: aimed at the target itself, the demuxer
// lands on a key frame shown after a target just before it.
double indexedDemuxerOffset(const MediaAsset& asset)
{
    return asset.video ? 4 * asset.frameSeconds() : 0.0;
}

PlayerItemShape shapeOf(const MediaAsset& asset)
{
    PlayerItemShape shape{.video = asset.hasVideo(),
                          .audio = asset.hasAudio(),
                          .frameSeconds = asset.frameSeconds(),
                          .durationSeconds = asset.duration.seconds()};
    if (asset.video) {
        shape.evenFrames = asset.video->constantFrameRate;
        shape.picturesStart = asset.video->timeRange.start.seconds();
        shape.picturesEnd = asset.video->timeRange.end().seconds();
    }
    return shape;
}

void setOption(mpv_handle* mpv, const char* name, const std::string& value)
{
    const int code = mpv_set_option_string(mpv, name, value.c_str());
    if (code < 0) throw MediaError(std::string("Cannot set the player option ") + name + ": " + mpv_error_string(code));
}

// A preview: no user configuration, no on-screen display, no keys; exact
// seeks; the last frame stays up at the end instead of unloading the file.
void setPreviewOptions(mpv_handle* mpv, const PlayerOptions& options)
{
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
}

} // namespace

Player::Player(const PlayerOptions& options)
    : engine_(std::make_unique<PlayerEngine>([this] {
          if (frameHandler_) frameHandler_();
      }))
{
    backwardPlay_ = std::make_unique<BackwardPlay>(BackwardPlay::Hooks{
        .shown =
            [this] {
                std::lock_guard lock(engine_->mutex);
                ++engine_->framesDrawn;
                engine_->postFrame();
            },
        .ended = [this] { pause(); },
    });
    engine_->mpv.reset(mpv_create());
    if (!engine_->mpv) throw MediaError("Cannot create the player");
    mpv_handle* mpv = engine_->mpv.get();
    setPreviewOptions(mpv, options);
    const int code = mpv_initialize(mpv);
    if (code < 0) throw MediaError(std::string("Cannot start the player: ") + mpv_error_string(code));

    engine_->startSoftware();

    // Warnings tell of pictures mpv cannot decode.
    mpv_request_log_messages(mpv, "warn");
    mpv_observe_property(mpv, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, 0, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, 0, "pause", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(
        mpv,
        [](void* data) {
            auto* player = static_cast<Player*>(data);
            PlayerEngine& engine = *player->engine_;
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
    backwardPlay_->drop();
    item_ = std::move(item);
    keyFrames_.reset();
    firstPicture_ = QImage();
    if (item_ && item_->asset.seekPreroll.value > 0) keyFrames_ = std::make_unique<media::KeyFrameAim>(item_->asset);
    {
        std::lock_guard lock(engine_->mutex);
        engine_->naturalSize = item_ ? uprightSize(item_->asset) : QSize();
    }
    std::optional<double> loadStart;
    if (item_ && start.isValid()) loadStart = frameStart(item_->asset, start.seconds());
    load(loadStart);
    setRate(0);
}

// Loads the current item's file, at `start` when given. A start where the
// sound leads the pictures loads the sound alone up to the first picture,
// which stands in meanwhile: with its pictures, mpv would skip that sound and
// show no picture for a stretch that ends before them.
void Player::load(std::optional<double> start)
{
    mpv_handle* mpv = engine_->mpv.get();
    leadIn_ = item_ && start && startsBeforePictures(*start);
    PlayerItemShape shape = item_ ? shapeOf(item_->asset) : PlayerItemShape{};
    if (leadIn_) {
        shape.video = false;
        if (firstPicture_.isNull()) firstPicture_ = readFirstPicture(item_->asset);
        std::lock_guard lock(engine_->mutex);
        ++engine_->framesDrawn;
        engine_->postFrame();
    }
    life_.load(item_ != nullptr, shape, start);
    life_.setForwardEnd(forwardEndSeconds());
    engine_->hide();
    const uint64_t load = ++loads_;
    // Nothing of the file before stays on show while the aim is worked out.
    if (!item_ || (start && keyFrames_)) {
        const char* stop[] = {"stop", nullptr};
        // Synchronous like the loadfile: a queued asynchronous stop could run
        // after a file loaded at once after it, and end that file.
        mpv_command(mpv, stop);
    }
    if (!item_) return;
    if (!drawsWithOpenGL()) engine_->startRendererThread();
    if (!start || !keyFrames_) return loadFile(start, indexedDemuxerOffset(item_->asset));
    keyFrames_->aim(MediaTime::fromSeconds(*start, 90000), engine_->context.get(),
                    [this, load, start](std::optional<MediaTime> preroll) {
                        if (load == loads_) loadFile(start, demuxerOffset(preroll));
                    });
}

void Player::loadFile(std::optional<double> start, std::optional<double> demuxerOffset)
{
    // The forward end goes with the file so that it holds from the first frame.
    const std::optional<double> end = forwardEndSeconds();
    std::string options = end && !engineBackward_ ? "end=" + mpvTime(*end) : "end=none";
    options += leadIn_ ? ",vid=no" : ",vid=auto";
    if (const std::string filters = uprightFilters(item_->asset); !filters.empty())
        options += ",video-rotate=no,vf=" + quoted(filters);
    // Loaded at its start and sought there once loaded, mpv may show the
    // file's first frame meanwhile, a picture from another moment.
    if (start) options += ",start=" + mpvTime(*start);
    if (demuxerOffset) options += ",hr-seek-demuxer-offset=" + secondsText(*demuxerOffset);
    const std::string path = item_->path.string();
    const char* command[] = {"loadfile", path.c_str(), "replace", options.c_str(), nullptr};
    mpv_node result{};
    int64_t entry = -1;
    if (mpv_command_ret(engine_->mpv.get(), command, &result) >= 0) {
        if (result.format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < result.u.list->num; ++i) {
                if (std::string(result.u.list->keys[i]) == "playlist_entry_id")
                    entry = result.u.list->values[i].u.int64;
            }
        }
        mpv_free_node_contents(&result);
    }
    life_.setEntry(entry);
}

// Whether a time lies in the sound before the first picture, by half a frame or more.
bool Player::startsBeforePictures(double seconds) const
{
    const MediaAsset& asset = item_->asset;
    return asset.video && asset.audio && seconds < asset.video->timeRange.start.seconds() - asset.frameSeconds() / 2;
}

// Where forward play of the load ends: the item's forward end, or in the
// sound before the pictures, the first picture.
std::optional<double> Player::forwardEndSeconds() const
{
    std::optional<double> end;
    if (forwardEnd_.isValid()) end = forwardEnd_.seconds();
    if (!leadIn_) return end;
    const double pictures = item_->asset.video->timeRange.start.seconds();
    return std::min(end.value_or(pictures), pictures);
}

// The stretch before the pictures played out, forward play goes on with them.
bool Player::handsOverToPictures() const
{
    if (!leadIn_) return false;
    const double pictures = item_->asset.video->timeRange.start.seconds();
    return !forwardEnd_.isValid() || forwardEnd_.seconds() > pictures + item_->asset.frameSeconds() / 2;
}

// The file's first picture, as an export writes it for a time before it, at
// its upright size; none when it cannot be read (mpv then shows none either).
QImage Player::readFirstPicture(const MediaAsset& asset)
{
    try {
        FrameReader reader(asset.path, FrameOrientation::Upright, FrameDecoding::OneThread);
        return reader.frameAt(asset.video->timeRange.start).image.convertToFormat(QImage::Format_ARGB32);
    } catch (const MediaError&) {
        return {};
    }
}

void Player::setEndTimes(const MediaTime& reverseEnd, const MediaTime& forwardEnd)
{
    forwardEnd_ = forwardEnd;
    life_.setForwardEnd(forwardEndSeconds());
    backwardPlay_->setReverseEnd(reverseEnd);
    if (item_) applyForwardEnd();
}

void Player::applyForwardEnd()
{
    // mpv reads `end` in backward play as where playing backwards ends (and
    // stops at once); the reverse end is watched here instead.
    const std::optional<double> seconds = forwardEndSeconds();
    const std::string end = seconds && !engineBackward_ ? mpvTime(*seconds) : "none";
    mpv_set_property_string(engine_->mpv.get(), "file-local-options/end", end.c_str());
}

void Player::seek(const MediaTime& time, SeekCompletion completion)
{
    // Backward play goes on from the new place once mpv is there.
    backwardPlay_->halt();
    seekTo(time, std::move(completion));
}

// The last seek asked wins: whatever was under way before it completes
// with false, and the new one takes its place in whichever stage the file
// is in.
void Player::seekTo(const MediaTime& time, SeekCompletion completion)
{
    finishSeek(false);
    completion_ = std::move(completion);
    const double target = item_ ? frameStart(item_->asset, time.seconds()) : 0.0;
    // Into or out of the sound before the pictures: the file loads again
    // there, with or without its pictures, and its landing completes the seek.
    if (item_ && leadIn_ != startsBeforePictures(target)) reload(target);
    apply(life_.seek(target));
}

// Loads the current item again at `seconds`, playing on as it did.
void Player::reload(double seconds)
{
    load(seconds);
    life_.setRate(rate_, std::nullopt);
    if (rate_ > 0) mpv_set_property_string(engine_->mpv.get(), "pause", "no");
}

// Ends the seek asked last, running its completion with `finished`.
void Player::finishSeek(bool finished)
{
    if (!completion_) return;
    // Later, so that a completion never runs inside the call that superseded
    // it, and through the application, so that it still runs when the Player
    // is gone by then.
    auto call = [completion = std::exchange(completion_, {}), finished] { completion(finished); };
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(call), Qt::QueuedConnection);
    else
        call();
}

void Player::setRate(double rate)
{
    rate = std::clamp(rate, -8.0, 8.0);
    mpv_handle* mpv = engine_->mpv.get();
    rate_ = item_ ? rate : 0.0;
    // Pictures play backwards here; only a movie without them plays
    // backwards in mpv.
    const bool ownBackward = rate_ < 0 && item_->asset.video;
    if (!ownBackward) leaveBackward();
    if (rate_ != 0 && item_->asset.video && !backwardPlay_->hasFrames()) makeBackwardFrames();
    // Without its frames (no thread for their worker) backward play stays
    // paused on the picture on show.
    if (ownBackward && !backwardPlay_->hasFrames()) rate_ = 0;
    const PlayerItemLife::Step step = life_.setRate(rate_, position(), engineFlag("eof-reached"));
    if (rate_ == 0) {
        mpv_set_property_string(mpv, "pause", "yes");
        return;
    }
    if (ownBackward) return startBackward();
    const bool backward = rate_ < 0;
    if (backward != engineBackward_) {
        engineBackward_ = backward;
        applyForwardEnd();
        mpv_set_property_string(mpv, "play-dir", backward ? "backward" : "forward");
    }
    double speed = std::abs(rate_);
    mpv_set_property(mpv, "speed", MPV_FORMAT_DOUBLE, &speed);
    mpv_set_property_string(mpv, "pause", "no");
    // Forward play asked for at the end ends at once, as on reaching it.
    apply(step, true);
}

double Player::currentTime() const
{
    if (!item_) return std::numeric_limits<double>::quiet_NaN();
    if (backwardPlay_->active()) return backwardPlay_->standInSeconds();
    // While a seek is under way mpv still tells where it was.
    if (life_.seekStage() != PlayerItemLife::SeekStage::None) return life_.seekTarget();
    return position().value_or(0);
}

QImage Player::latestFrame() const
{
    if (!item_) return {};
    if (!backwardPlay_->standIn().isNull()) return backwardPlay_->standIn();
    if (leadIn_) return leadInPicture();
    {
        std::lock_guard lock(engine_->mutex);
        if (!engine_->showing) return {};
        if (!engine_->openGL) return engine_->latest;
    }
    return engine_->screenshot();
}

QImage Player::standInFrame() const
{
    if (!backwardPlay_->standIn().isNull()) return backwardPlay_->standIn();
    if (leadIn_) return leadInPicture();
    // Until a load lands, mpv would draw the picture it kept of the file before.
    std::lock_guard lock(engine_->mutex);
    if (engine_->showing) return {};
    if (const QSize size = engine_->drawingSize().expandedTo(QSize(16, 16)); blank_.size() != size) {
        blank_ = QImage(size, QImage::Format_ARGB32);
        blank_.fill(Qt::black);
    }
    return blank_;
}

// The first picture standing in before the pictures, at the size mpv's are drawn.
QImage Player::leadInPicture() const
{
    QSize size;
    {
        std::lock_guard lock(engine_->mutex);
        size = engine_->drawingSize();
    }
    if (firstPicture_.isNull() || size.isEmpty() || firstPicture_.size() == size) return firstPicture_;
    if (scaledFirstPicture_.size() != size)
        scaledFirstPicture_ = firstPicture_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return scaledFirstPicture_;
}

bool Player::useOpenGL(GLFunctionFinder find, void* findContext)
{
    if (drawsWithOpenGL()) return true;
    const double seconds = currentTime();
    engine_->stopRenderer();
    const bool ok = engine_->startOpenGL(find, findContext);
    if (!ok) engine_->startSoftware();
    reloadPicture(seconds);
    return ok;
}

void Player::useSoftware()
{
    if (!drawsWithOpenGL()) return;
    const double seconds = currentTime();
    engine_->stopRenderer();
    engine_->startSoftware();
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
    for (;;) {
        const mpv_event* event = mpv_wait_event(engine_->mpv.get(), 0);
        if (event->event_id == MPV_EVENT_NONE) return;
        handleEvent(*event);
    }
}

void Player::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_SET_PROPERTY_REPLY:
    case MPV_EVENT_COMMAND_REPLY:
        if (event.reply_userdata != noReply) apply(life_.seekReply(event.reply_userdata, event.error >= 0));
        break;
    case MPV_EVENT_START_FILE:
        life_.started(static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id);
        break;
    case MPV_EVENT_FILE_LOADED:
        apply(life_.fileLoaded());
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<mpv_event_end_file*>(event.data);
        apply(life_.endFile(end->playlist_entry_id, end->reason == MPV_END_FILE_REASON_ERROR));
        break;
    }
    case MPV_EVENT_SEEK:
        life_.seekStarted();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        handleRestart();
        break;
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* log = static_cast<mpv_event_log_message*>(event.data);
        // mpv plays on over pictures it cannot decode; the file is
        // damaged. (A hardware decoder's failure says so and falls back.)
        if (std::string_view(log->prefix) == "vd"
            && std::string_view(log->text).starts_with("Error while decoding frame!"))
            apply(life_.decodeFailed());
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
        handlePropertyChange(*static_cast<mpv_event_property*>(event.data));
        break;
    default:
        break;
    }
}

void Player::handlePropertyChange(const mpv_event_property& property)
{
    const std::string_view name = property.name;
    if (property.format == MPV_FORMAT_FLAG && name == "eof-reached")
        apply(life_.endReached(*static_cast<int*>(property.data) != 0, position()));
    // A pause this Player asked for and undid since comes late: the flag is read back.
    else if (property.format == MPV_FORMAT_FLAG && name == "pause" && *static_cast<int*>(property.data))
        apply(life_.pausedByEngine(engineFlag("pause"), position()));
    else if (property.format == MPV_FORMAT_DOUBLE && name == "time-pos")
        handleTimePosition(playerTime(*static_cast<double*>(property.data)));
}

void Player::handleRestart()
{
    // mpv's end flag tells no change when the file before ended too: it is read.
    const PlayerItemLife::Step step = life_.restarted(engineFlag("eof-reached"), position());
    if (life_.phase() != PlayerItemLife::Phase::Loading && life_.phase() != PlayerItemLife::Phase::None)
        engine_->show();
    if (step.seekFinished != true) return apply(step);
    // mpv shows the frame backward play stopped on.
    backwardPlay_->settled(life_.seekGeneration());
    const uint64_t id = item_->id;
    apply(step);
    // A seek during backward play: on backwards from there.
    if (item_ && item_->id == id && rate_ < 0 && item_->asset.video && !backwardPlay_->active()) startBackward();
}

void Player::handleTimePosition(double seconds)
{
    if (!item_) return;
    const uint64_t id = item_->id;
    apply(life_.timePosition(seconds));
    if (!item_ || item_->id != id || life_.seekStage() != PlayerItemLife::SeekStage::None) return;
    // Forward play is followed.
    backwardPlay_->follow(seconds, rate_);
    const MediaTime& reverseEnd = backwardPlay_->reverseEnd();
    if (rate_ < 0 && reverseEnd.isValid() && seconds <= reverseEnd.seconds() + 1e-3) {
        pause();
        sendSeekTo(reverseEnd.seconds(), noReply);
    }
}

void Player::apply(const PlayerItemLife::Step& step, bool tellLater)
{
    using Report = PlayerItemLife::Report;
    if (step.sendSeek) sendSeek();
    if (step.seekFinished) finishSeek(*step.seekFinished);
    if (step.awaitPlayOut) armPlayOut();
    if (!step.pause && step.report == Report::None) return;
    // The sound before the pictures played out: forward play goes on with them.
    if (step.report == Report::End && handsOverToPictures())
        return reload(item_->asset.video->timeRange.start.seconds());
    if (!tellLater) {
        if (step.pause) pause();
        return tell(step.report);
    }
    engine_->post([this, step, id = item_->id, phase = life_.phase()] {
        if (!item_ || item_->id != id || life_.phase() != phase) return;
        apply(step);
    });
}

void Player::tell(PlayerItemLife::Report report)
{
    if (!item_) return;
    if (report == PlayerItemLife::Report::End && endHandler_) endHandler_(item_->id);
    if (report == PlayerItemLife::Report::Failure && failureHandler_) failureHandler_(item_->id);
}

// mpv tells of the end once the last sound is decoded, and pauses by itself
// once its output has played it. Should the output never finish (a sound
// device that stopped), the end is told a second later all the same.
void Player::armPlayOut()
{
    engine_->postDelayed(1000, [this, id = item_->id, armed = ++playOuts_] {
        if (item_ && item_->id == id && playOuts_ == armed) apply(life_.playOutElapsed(position()));
    });
}

// How far before a time mpv's demuxer must aim to land on a key frame at or
// before it, where the export's decoder lands: the aim worked out, else the
// longest key-frame interval the probe saw, where mpv's own search is left to
// find its way.
double Player::demuxerOffset(std::optional<MediaTime> preroll) const
{
    return preroll.value_or(item_->asset.seekPreroll).seconds();
}

// A file without an index has its aim worked out away from the GUI thread
// first; the seek goes once it is known, if it is still the one asked.
void Player::sendSeek()
{
    const double target = life_.seekTarget();
    const uint64_t generation = life_.seekGeneration();
    if (!keyFrames_) return sendSeekTo(target, generation);
    keyFrames_->aim(
        MediaTime::fromSeconds(target, 90000), engine_->context.get(),
        [this, target, generation](std::optional<MediaTime> preroll) {
            if (life_.seekStage() != PlayerItemLife::SeekStage::Sent || life_.seekGeneration() != generation) return;
            const std::string offset = secondsText(demuxerOffset(preroll));
            mpv_set_property_string(engine_->mpv.get(), "file-local-options/hr-seek-demuxer-offset", offset.c_str());
            sendSeekTo(target, generation);
        });
}

// An exact seek to a time on the probe's clock. mpv's seek command reads a
// negative time as counted back from the end; its clock property does not,
// and seeks exactly with `hr-seek`.
void Player::sendSeekTo(double seconds, uint64_t reply)
{
    double target = seconds + (item_ ? item_->asset.firstPresentationTime.seconds() : 0.0);
    if (mpv_set_property_async(engine_->mpv.get(), reply, "time-pos", MPV_FORMAT_DOUBLE, &target) < 0 && reply)
        apply(life_.seekReply(reply, false));
}

// mpv reads a time that starts with a sign as counted from the file's start
// or end; one that starts with a space as the container's own time, negative
// ones too (a clock unwrapped back past zero, sound primed before it).
std::string Player::mpvTime(double seconds) const
{
    return " " + secondsText(seconds + (item_ ? item_->asset.firstPresentationTime.seconds() : 0.0));
}

double Player::playerTime(double mpvSeconds) const
{
    return mpvSeconds - (item_ ? item_->asset.firstPresentationTime.seconds() : 0.0);
}

std::optional<double> Player::position() const
{
    double seconds = 0;
    if (mpv_get_property(engine_->mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0) return std::nullopt;
    return playerTime(seconds);
}

bool Player::engineFlag(const char* name) const
{
    int flag = 0;
    return mpv_get_property(engine_->mpv.get(), name, MPV_FORMAT_FLAG, &flag) >= 0 && flag;
}

// The current item's backward frames, from its first play on, at the size
// pictures are drawn.
void Player::makeBackwardFrames()
{
    QSize size;
    {
        std::lock_guard lock(engine_->mutex);
        size = engine_->drawingSize();
    }
    backwardPlay_->makeFrames(item_->asset, size);
}

void Player::startBackward()
{
    BackwardPlay& backward = *backwardPlay_;
    backward.setRate(rate_);
    if (backward.active()) return;
    mpv_set_property_string(engine_->mpv.get(), "pause", "yes");
    backward.start(currentTime());
}

// Backward play ends: mpv is sought to the frame reached, whose picture
// stands in until mpv shows it.
void Player::leaveBackward()
{
    BackwardPlay& backward = *backwardPlay_;
    const std::optional<double> reached = backward.leave();
    if (!reached) return; // none shown: mpv still shows where it was
    {
        std::lock_guard lock(engine_->mutex);
        if (!engine_->openGL) engine_->latest = backward.standIn();
    }
    seekTo(MediaTime::fromSeconds(*reached, 60000), {});
    backward.settleWith(life_.seekGeneration());
}

} // namespace zanto
