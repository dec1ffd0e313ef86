#pragma once
// The life of the item a player shows, from its load to its end, as one
// value fed the player engine's events as plain values. It decides what each
// event means for this item (a seek landed, play reached its end, the file's
// data failed) and says what the player must do; it talks to no engine and
// runs no handler, so that every order of events can be played through it
// without one. Plain value; one thread at a time.
#include <cstdint>
#include <optional>

namespace zanto {

// What the life of an item needs to know of its movie, in seconds from the
// file's first presentation time (the probe's clock).
struct PlayerItemShape {
    bool video = false;
    bool audio = false;
    bool evenFrames = false; // the pictures come at a constant rate
    double frameSeconds = 1.0 / 30;
    double picturesStart = 0;
    double picturesEnd = 0; // at or before picturesStart: unknown, the pictures cover the movie
    double durationSeconds = 0;
};

class PlayerItemLife {
public:
    enum class Phase {
        None,       // no item
        Loading,    // the file loads: nothing it tells is known to be of this item's picture yet
        Landed,     // a picture of the item is up, paused (or played backwards by the player itself)
        Playing,    // forward play
        PlayingOut, // forward play reached its end in sound alone, whose last tenths still play
        Ended,      // forward play reached its end, told once
        Failed,     // the file's data failed this item, told once: nothing more is told of it
    };
    enum class SeekStage {
        None,      // nothing under way: the engine's clock tells the time
        AfterLoad, // asked while the file loads, elsewhere: sent once it has loaded
        ByLoad,    // where the file is loading: its landing completes it
        Sent,      // sent to the engine as `seekGeneration`, not yet taken
        Taken,     // the engine took it, and may land a seek asked before it first
        Started,   // the engine started it: its next playback restart shows the picture
    };
    enum class Report { None, End, Failure };

    // What the player must do after an event, in this order: send the
    // pending seek, complete the seek asked, pause the engine, arm the
    // play-out net, tell the owner.
    struct Step {
        bool sendSeek = false;            // hand seekTarget() to the engine as seekGeneration()
        std::optional<bool> seekFinished; // the seek asked is over: its completion runs with this
        bool pause = false;               // forward play is over: the engine pauses
        bool awaitPlayOut = false;        // call playOutElapsed() a second from now, should the engine not pause
        Report report = Report::None;
        bool operator==(const Step&) const = default;
    };

    Phase phase() const { return phase_; }
    SeekStage seekStage() const { return seek_; }
    // File seconds of the seek under way, at the start of the picture covering the time asked.
    double seekTarget() const { return target_; }
    uint64_t seekGeneration() const { return generation_; }
    // Whether the engine stands at the end of the file's data (or of the forward end).
    bool atEnd() const { return atEnd_; }

    // A new item (or none) is loaded, at `start` when given: the load is then
    // a seek of its own, with no completion unless one is asked for that time.
    // The superseded seek's completion is the caller's to end.
    void load(bool hasItem, const PlayerItemShape& shape, std::optional<double> start);
    // The engine's playlist entry of the load just asked for; -1 when it refused it.
    void setEntry(int64_t entry) { entry_ = entry; }
    // Where forward play ends; none: at the movie's end.
    void setForwardEnd(std::optional<double> seconds) { forwardEnd_ = seconds; }
    // Play at `rate` (0: paused; negative: backwards) is asked; `reachedEnd`
    // is the engine's end flag read now (paused, it tells no change of it).
    // Forward play asked for at the end ends at once, as on reaching it.
    Step setRate(double rate, std::optional<double> position, bool reachedEnd = false);
    // A seek to `target` (already at the start of its picture) is asked.
    Step seek(double target);

    // The engine's events, as they come. `position` is the engine's clock read
    // when the event is handled, in file seconds.
    Step started(int64_t entry);
    // The file the engine started last has loaded.
    Step fileLoaded();
    Step endFile(int64_t entry, bool failed);
    Step seekReply(uint64_t generation, bool ok);
    // The engine starts carrying out the seek it took last. It replies to a
    // seek when it takes it, and may still land one taken before; a seek it
    // took before the last one was replaced by it.
    Step seekStarted();
    // A playback restart: a seek or the load landed. `reachedEnd` is the
    // engine's end flag read then (it tells no change when the file before
    // ended too).
    Step restarted(bool reachedEnd, std::optional<double> position);
    Step endReached(bool reached, std::optional<double> position);
    // The engine says it paused; `stillPaused` is its pause flag read now,
    // for a pause the player asked for and undid since comes late.
    Step pausedByEngine(bool stillPaused, std::optional<double> position);
    Step timePosition(double seconds);
    Step decodeFailed();
    // The play-out net armed by awaitPlayOut ran out.
    Step playOutElapsed(std::optional<double> position);

private:
    bool ownsEvents() const { return phase_ != Phase::None && startedEntry_ == entry_ && entry_ > 0; }
    bool withinPictures(double seconds) const;
    bool endsInSoundAlone() const;
    bool endedShort(std::optional<double> position) const;
    bool beforeLanding(double seconds) const;
    void arrive(std::optional<double> position, Step& step);
    void finishForward(std::optional<double> position, Step& step);
    void fail(Step& step);
    void finishSeek(bool finished, Step& step);

    PlayerItemShape shape_;
    Phase phase_ = Phase::None;
    double rate_ = 0;
    std::optional<double> forwardEnd_;
    int64_t entry_ = 0;        // the engine's playlist entry of the item
    int64_t startedEntry_ = 0; // the entry the engine started last
    bool loaded_ = false;      // the file of the entry has loaded
    bool atEnd_ = false;
    std::optional<double> loadStart_;
    // Where the load landed, until the engine's clock shows a picture of it:
    // a clock that stands before it then tells a file whose data ends before there.
    std::optional<double> landing_;
    SeekStage seek_ = SeekStage::None;
    double target_ = 0;
    uint64_t generation_ = 0;
};

} // namespace zanto
