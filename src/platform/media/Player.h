#pragma once
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zanto {

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
    struct Engine;

    // The seek under way, one state from the asking to the picture on show.
    // Loading an item at a time is a seek of its own, with no completion
    // unless one is asked for the same time while the file loads.
    struct PendingSeek {
        enum class Stage {
            None,      // nothing under way: mpv's clock tells the time
            AfterLoad, // asked while the file loads, elsewhere: sent once it has loaded
            ByLoad,    // where the file is loading: its first picture completes it
            Sent,      // sent to mpv as `generation`, not yet taken
            Taken,     // mpv took it: its next playback restart shows the picture
        };
        Stage stage = Stage::None;
        double target = 0;       // file seconds, at the start of the frame covering the time asked
        uint64_t generation = 0; // of the last seek command sent; raised by each
        SeekCompletion completion;
    };

    std::string mpvTime(double seconds) const;
    double playerTime(double mpvSeconds) const;
    double origin() const;
    std::optional<double> mpvPosition() const;
    void drainEvents();
    void handleFileLoaded();
    void seekTo(const MediaTime& time, SeekCompletion completion);
    void sendSeek();
    double prerollFor(double seconds) const;
    void handleEndReached(bool atEnd);
    void handleSeekReply(uint64_t generation, bool ok);
    void handlePlaybackRestart();
    void handleEndOfFile();
    bool endedShort() const;
    bool beforeLanding(double seconds) const;
    bool atEnd() const;
    bool withinPictures(double seconds) const;
    bool endsInSoundAlone() const;
    void waitForSoundToPlayOut();
    void handlePausedByMpv();
    void handleDamage();
    void reportFailure();
    void handleTimePosition(double seconds);
    void finishSeek(bool finished);
    void applyForwardEnd();
    void reloadPicture(double seconds);
    void makeBackwardFrames();
    void startBackward();
    void leaveBackward();

    std::unique_ptr<Engine> engine_;
    std::function<void(uint64_t)> endHandler_;
    std::function<void(uint64_t)> failureHandler_;
    std::function<void()> frameHandler_;
    PlayerItemRef item_;
    MediaTime forwardEnd_{0, 0};
    double rate_ = 0;
    PendingSeek seek_;
};

} // namespace zanto
