#pragma once
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"

#include <QImage>
#include <QSize>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace zanto {

class BackwardFrames;
struct BackwardFrame;

// Backward play of a movie's pictures in place of mpv's: the current item's
// frames (made at its first play), the clock that shows them one after
// another, the picture on show and its time, and which seek settles mpv on
// that picture once backward play ends. The Player owns it and drives mpv;
// GUI thread only, where its clock runs the hooks too.
class BackwardPlay {
public:
    struct Hooks {
        // A new picture is in standIn().
        std::function<void()> shown;
        // Backward play stops of itself: the file's start, the reverse end,
        // or a file that cannot be read on. The player pauses.
        std::function<void()> ended;
    };
    explicit BackwardPlay(Hooks hooks);
    ~BackwardPlay();
    BackwardPlay(const BackwardPlay&) = delete;
    BackwardPlay& operator=(const BackwardPlay&) = delete;

    // The frames of the item, made at its first play at the size its
    // pictures are drawn (but no larger than 1280 × 720); none before, nor
    // while the system refuses their worker a thread.
    bool hasFrames() const { return frames_ != nullptr; }
    void makeFrames(const MediaAsset& asset, QSize drawnSize);
    // Where backward play pauses, its own and mpv's (a movie without
    // pictures); an invalid time for none.
    void setReverseEnd(const MediaTime& reverseEnd) { reverseEnd_ = reverseEnd; }
    const MediaTime& reverseEnd() const { return reverseEnd_; }

    // The pictures on show are backward play's.
    bool active() const { return active_; }
    double standInSeconds() const { return standInSeconds_; }
    // The picture shown in place of mpv's: backward play's, until mpv shows
    // the frame where it stopped; null when mpv's is on show.
    const QImage& standIn() const { return standIn_; }

    // The pace of backward play at `rate` (< 0), under way or to come.
    void setRate(double rate);
    // Backwards from the frame on show at `seconds` (mpv paused there); the
    // frames just shown forwards come at once. The frames must be made.
    void start(double seconds);
    // Backward play ends: the picture reached stays on show, and its time is
    // where mpv is to be sought. Nothing when none was on show (mpv still
    // shows where it was) or backward play was not under way.
    std::optional<double> leave();
    // The seek with `generation` brings mpv to the picture left on show; once
    // it is done (settled), mpv's own picture shows again.
    void settleWith(uint64_t generation) { settleGeneration_ = generation; }
    void settled(uint64_t generation);
    // A seek: backward play stops where it is and its picture goes, mpv
    // showing the place sought.
    void halt();
    // The item changes: its frames go too.
    void drop();
    // Forward play shows the frame at `seconds`, playing at `rate`: its last
    // frames are kept for backward play; so is the frame a pause settles on,
    // but not the seeks of a paused movie.
    void follow(double seconds, double rate);

private:
    void step();
    void show(BackwardFrame frame);

    Hooks hooks_;
    std::unique_ptr<BackwardFrames> frames_;
    QTimer clock_;
    double frameSeconds_ = 1.0 / 30;
    MediaTime reverseEnd_{0, 0};
    int steps_ = 1; // frames a tick of the clock moves back
    bool active_ = false;
    QImage standIn_;
    double standInSeconds_ = 0;
    uint64_t settleGeneration_ = 0;
    double followedTo_ = 0;
};

} // namespace zanto
