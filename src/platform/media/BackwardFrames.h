#pragma once
#include "platform/media/MediaAsset.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <optional>
#include <stop_token>

namespace zanto {

namespace media {
class FrameConverter;
}

// One picture of backward play: its time in file seconds and the picture,
// opaque BGRA, upright, at the size asked for.
struct BackwardFrame {
    double seconds = 0;
    QImage image;
};

// The pictures of a movie for playing it backwards at once. Decoding
// backwards means decoding forwards from a key frame, which takes seconds
// with key frames 250 frames apart; so while the movie plays forwards this
// decodes the same frames again at a small size and keeps the last ones,
// and asked to go backwards it hands those out at once, while it decodes
// the stretches before them, one stretch at a time from its key frame.
//
// Calls come from one thread (the player's); a worker of its own decodes.
// None of them waits for the worker, the destructor neither: it asks the
// worker to stop and lets it go, and the worker ends on its own at its next
// step (a frame decoded, or its file opened, however long a slow disk takes),
// letting go of the file and its pictures on its own thread. Memory stays
// within two stretches of small pictures, about 100 MiB at 960 × 540. A file
// that cannot be read or decoded gives no more frames.
class BackwardFrames {
public:
    // Pictures of `asset`'s movie at `pictureSize` (upright).
    BackwardFrames(MediaAsset asset, QSize pictureSize);
    ~BackwardFrames();
    BackwardFrames(const BackwardFrames&) = delete;
    BackwardFrames& operator=(const BackwardFrames&) = delete;

    // Forward play shows the frame at `seconds`: the frames up to it are kept.
    void follow(double seconds);
    // Backwards from the frame on show at `seconds`: take() gives the frames
    // before it, latest first, none before `floorSeconds`.
    void rewind(double seconds, double floorSeconds);
    // The frame `frames` steps further back (or as far as is decoded), the
    // ones passed over let go unseen; nothing when none is decoded.
    std::optional<BackwardFrame> take(int frames = 1);
    // No frame is left before the last one taken (the file's start, the
    // floor, or a file that failed).
    bool exhausted() const;
    // Neither follows nor rewinds; the pictures kept are let go.
    void halt();

private:
    struct Picture;
    struct Decoding;
    struct Shared;

    QImage shown(const Picture& picture);

    // What the worker works on, co-owned by it: whatever it touches (the
    // asset, the decoder and its pictures) stays until it ends.
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<media::FrameConverter> conversion_; // the caller's alone
    std::stop_source stop_;                             // the worker's
};

} // namespace zanto
