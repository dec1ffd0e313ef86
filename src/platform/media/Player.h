#pragma once
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"
#include "platform/media/PlayerItemLife.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct mpv_event;
struct mpv_event_property;

namespace zanto {

class BackwardPlay;
struct PlayerEngine;
namespace media {
class KeyFrameAim;
}

// One movie opened for playback. Its identity tells the end reports of one
// item from those of another, even for the same file opened twice. Plain
// value, shared between the Player and its owner; any thread.
struct PlayerItem {
    uint64_t id = 0;
    std::filesystem::path path;
    // Probed once when opened, first presentation time counted as zero: the
    // same durations the exporter and the trim use.
    MediaAsset asset;
    double durationSeconds() const { return asset.duration.seconds(); }
};
using PlayerItemRef = std::shared_ptr<const PlayerItem>;

struct PlayerOptions {
    // mpv's audio output list ("" = mpv's own choice, falling back to no
    // sound when no device opens; "null"; "pcm" with `audioFile`).
    std::string audioOutput;
    std::filesystem::path audioFile; // the WAV file of the "pcm" output
    // Hardware decoding where it is safe; tests turn it off to stay exact.
    bool hardwareDecoding = true;
};

// The preview player: one movie at a time, played forwards or backwards at
// a rate, seeked exactly, its pictures drawn by libmpv's software renderer
// into BGRA images, or by its OpenGL renderer into a view. Lives on the GUI thread, which is the only thread that
// calls it; its handlers and every completion run there too. mpv runs on its
// own threads and none of these calls waits for it to decode.
class Player {
public:
    explicit Player(const PlayerOptions& options = {});
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    // Supersedes a pending seek (its completion runs with false) and stops mpv.
    ~Player();

    // An item for the movie at `path`, probed at once. Nothing when the path
    // does not name a regular file (missing, a folder, a pipe or a device),
    // so that a pipe never blocks the caller: the owner asks for the file to
    // be reconnected. Throws MediaError when the file is not a readable movie.
    static PlayerItemRef open(const std::filesystem::path& path);

    PlayerItemRef currentItem() const { return item_; }
    // Makes `item` (or none) current, paused at its start, or at `start`
    // when valid: then the first picture shown is the one covering `start`,
    // never one before it, and a seek to `start` asked next is the load's
    // own (it completes when that picture is up). A pending seek completes
    // with false.
    void replaceCurrentItem(PlayerItemRef item, const MediaTime& start = MediaTime{0, 0});

    // Where forward play stops (reporting reachedEnd once) and where reverse
    // play pauses (no report). Invalid times remove the bound. Kept for the
    // items made current later, until set again.
    void setEndTimes(const MediaTime& reverseEnd, const MediaTime& forwardEnd);

    // Seeks exactly: once done, the frame covering `time` is on show. The
    // completion runs on the GUI thread with true, or with false when a later
    // seek, a new item or the Player's end supersedes it, or the movie fails.
    using SeekCompletion = std::function<void(bool finished)>;
    void seek(const MediaTime& time, SeekCompletion completion = {});

    void play() { setRate(1.0); }
    void pause() { setRate(0.0); }
    // 0 when paused; negative when playing backwards.
    double rate() const { return rate_; }
    // -8..8 (clamped); 0 pauses, a negative rate plays backwards. Backwards,
    // the pictures come at once and silently from BackwardFrames; once play
    // stops or turns forwards, mpv is sought to the frame reached. Where the
    // system refuses BackwardFrames a thread, forward play goes on without
    // it and backward play stays paused (rate 0) on the picture on show.
    void setRate(double rate);

    // The playback position in file seconds (a seek's target while it is
    // under way); NaN without an item.
    double currentTime() const;

    // The frame last drawn: BGRA (QImage::Format_ARGB32, opaque), upright,
    // at the output size; null before the first frame or without an item.
    QImage latestFrame() const;
    // The picture shown in place of mpv's own: the frames of backward play,
    // until mpv shows the one where it stopped. Null when mpv's is on show;
    // a view that draws with OpenGL draws this instead when there is one.
    QImage standInFrame() const;
    // Pictures are drawn at the movie's upright size fitted into `box` (a
    // view passes its own size in device pixels); an empty box draws them at
    // the natural size.
    void setOutputSize(const QSize& box);
    // The movie's upright natural size (rotation applied); empty without video.
    QSize naturalSize() const;
    // How many frames the renderer has drawn since construction.
    uint64_t framesDrawn() const;

    // The OpenGL back end, for a view that has a GL context: pictures are then
    // drawn by the view through drawOpenGL instead of into images (the
    // software back end, used where no GL context exists). Called on the GUI
    // thread with the view's context current; `find(findContext, name)`
    // gives GL functions. False when mpv cannot draw with that context: the
    // software back end stays.
    using GLFunctionFinder = void* (*)(void* findContext, const char* name);
    bool useOpenGL(GLFunctionFinder find, void* findContext);
    // Draws the current frame fitted into the framebuffer, y up (the view's
    // context current). Never waits for a frame's display time.
    void drawOpenGL(int framebuffer, int width, int height);
    // Back to the software back end, before the view's context goes (with it
    // current). The movie's picture is kept by reloading it at its position.
    void useSoftware();
    bool drawsWithOpenGL() const;

    // Forward play reached the forward end (or the movie's end) of the item
    // with this id: reported once per arrival.
    void setEndHandler(std::function<void(uint64_t itemId)> handler) { endHandler_ = std::move(handler); }
    // The movie of the item with this id cannot be played through: forward
    // play stopped before its forward end because the file's data ends there
    // (cut short; reported instead of the end), the file's data ends before
    // where it was loaded (mpv shows its last picture, from before there),
    // mpv could not decode its pictures (damaged) or could not play it at
    // all. Once per item.
    void setFailureHandler(std::function<void(uint64_t itemId)> handler) { failureHandler_ = std::move(handler); }
    // A new picture is in latestFrame().
    void setFrameHandler(std::function<void()> handler) { frameHandler_ = std::move(handler); }

private:
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void handlePropertyChange(const mpv_event_property& property);
    void handleRestart();
    void handleTimePosition(double seconds);
    // Carries out what the item's life says an event means. Reports that
    // arise inside a call of the owner's are told later, once it returned.
    void apply(const PlayerItemLife::Step& step, bool tellLater = false);
    void tell(PlayerItemLife::Report report);
    void armPlayOut();
    void load(std::optional<double> start);
    void reload(double seconds);
    bool startsBeforePictures(double seconds) const;
    std::optional<double> forwardEndSeconds() const;
    bool handsOverToPictures() const;
    static QImage readFirstPicture(const MediaAsset& asset);
    QImage leadInPicture() const;
    void seekTo(const MediaTime& time, SeekCompletion completion);
    void sendSeek();
    void sendSeekTo(double seconds, uint64_t reply);
    void finishSeek(bool finished);
    double demuxerOffset(std::optional<MediaTime> preroll) const;
    void loadFile(std::optional<double> start, std::optional<double> demuxerOffset);
    void applyForwardEnd();
    void reloadPicture(double seconds);
    void makeBackwardFrames();
    void startBackward();
    void leaveBackward();

    // mpv's clock is the container's own; the player's counts from the file's
    // first presentation time, as the probe's and an export's do.
    std::string mpvTime(double seconds) const;
    double playerTime(double mpvSeconds) const;
    std::optional<double> position() const;
    bool engineFlag(const char* name) const;

    std::unique_ptr<PlayerEngine> engine_;
    std::unique_ptr<BackwardPlay> backwardPlay_;
    std::unique_ptr<media::KeyFrameAim> keyFrames_;
    std::function<void(uint64_t)> endHandler_;
    std::function<void(uint64_t)> failureHandler_;
    std::function<void()> frameHandler_;
    PlayerItemRef item_;
    PlayerItemLife life_;
    SeekCompletion completion_; // of the seek asked last, until it is over
    MediaTime forwardEnd_{0, 0};
    double rate_ = 0;
    bool engineBackward_ = false; // mpv plays backwards (a movie without video)
    uint64_t playOuts_ = 0;       // play-out nets armed: only the latest counts
    uint64_t loads_ = 0;          // loads asked: a load waiting for its aim goes only if it is the latest
    // The load plays the sound before the first picture, which stands in.
    bool leadIn_ = false;
    QImage firstPicture_;
    mutable QImage scaledFirstPicture_;
    mutable QImage blank_; // stands in for mpv's picture while a load has not landed
};

} // namespace zanto
