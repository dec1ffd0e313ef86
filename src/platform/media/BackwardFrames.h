#pragma once
#include "platform/media/MediaAsset.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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
// Memory stays within two stretches of small pictures, about 100 MiB at
// 960 × 540. A file that cannot be read or decoded gives no more frames.
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
    // Rewinding: following on up to the frame on show before turning backward.
    enum class Mode { Idle, Following, Rewinding, Backward };

    void work();
    bool hasWork() const;
    bool followNeedsSeek() const;
    void turnBackward();
    void followStep(std::unique_lock<std::mutex>& lock);
    void backwardStep(std::unique_lock<std::mutex>& lock);
    QImage shown(const Picture& picture);

    const MediaAsset asset_;
    const QSize size_;
    const double frameSeconds_;
    const size_t stretch_;                              // frames decoded backwards at a time
    std::unique_ptr<Decoding> decoding_;                // the worker's alone
    std::unique_ptr<media::FrameConverter> conversion_; // the caller's alone

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable wake_;
    bool stopping_ = false;
    bool failed_ = false;
    Mode mode_ = Mode::Idle;
    uint64_t generation_ = 0; // raised by every change of mode or target
    double followTo_ = 0;
    bool positioned_ = false; // following: the decoder is on forward play's way
    double soughtTo_ = 0;     // following: where it was sought to last
    double decodedTo_ = 0;    // following: the last frame decoded
    bool followEnded_ = false;
    // Following: frames up to followTo_, oldest first. Backward: frames
    // ready to take, latest first.
    std::deque<std::shared_ptr<Picture>> kept_;
    double rewindFrom_ = 0;
    double upper_ = 0; // Backward: frames before this time are still to come
    double floor_ = 0;
    bool atStart_ = false; // Backward: nothing before upper_
    std::thread worker_;
};

} // namespace zanto
