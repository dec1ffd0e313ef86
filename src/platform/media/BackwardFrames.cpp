#include "platform/media/BackwardFrames.h"

#include "platform/BackgroundThreads.h"
#include "platform/media/FrameConverter.h"
#include "platform/media/FrameReader.h"
#include "platform/media/MediaError.h"
#include "platform/media/VideoDecoder.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>

namespace zanto {

namespace {

// What one stretch of small pictures may take; two are held at most (the
// one being shown and the one decoded before it).
constexpr double kStretchBytes = 32.0 * (1 << 20);
// Fewer frames a stretch decode the key-frame interval too many times over.
constexpr size_t kFewestInStretch = 24;
// Forward play is followed this far ahead, so that the frame on show is
// kept by the time it shows.
constexpr double kFollowLead = 0.1;
// A jump ahead of forward play past this is sought, not decoded up to.
constexpr double kFollowJump = 2.0;

MediaTime at(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

// The picture before the movie's quarter turns.
QSize storedSize(const MediaAsset& asset, QSize upright)
{
    const int turns = asset.video ? asset.video->preferredTransform.quarterTurns() : 0;
    const QSize size = turns % 2 ? upright.transposed() : upright;
    return QSize(std::max(2, size.width() & ~1), std::max(2, size.height() & ~1));
}

} // namespace

struct BackwardFrames::Picture {
    double seconds = 0;
    media::FramePtr frame; // yuv420p at the stored size
};

// The worker's decoder and its scaling to the small size. The pictures come
// from a pool, so that their memory is used again rather than spread over
// the allocator's arenas of the two threads that make and free them.
struct BackwardFrames::Decoding {
    Decoding(const MediaAsset& asset, QSize size)
        : decoder(asset), scaler(asset.video->colourMatrix), size(size),
          bytes(av_image_get_buffer_size(AV_PIX_FMT_YUV420P, size.width(), size.height(), 32)),
          pool(av_buffer_pool_init(size_t(bytes), nullptr))
    {
        if (!pool) throw MediaError("Cannot allocate backward play's pictures");
    }
    ~Decoding() { av_buffer_pool_uninit(&pool); }
    media::VideoDecoder decoder;
    media::FrameConverter scaler;
    const QSize size;
    const int bytes;
    AVBufferPool* pool;

    std::shared_ptr<Picture> keep(const AVFrame* frame, double seconds)
    {
        auto picture = std::make_shared<Picture>();
        picture->seconds = seconds;
        picture->frame = media::allocateFrame();
        AVFrame* target = picture->frame.get();
        media::describeOutputFrame(target, size.width(), size.height());
        target->buf[0] = av_buffer_pool_get(pool);
        if (!target->buf[0]) throw MediaError("Cannot allocate backward play's pictures");
        checkMedia(av_image_fill_arrays(target->data, target->linesize, target->buf[0]->data, AV_PIX_FMT_YUV420P,
                                        size.width(), size.height(), 32),
                   "Cannot allocate backward play's pictures");
        scaler.scaleInto(frame, target, {0, 0, size.width(), size.height()});
        return picture;
    }
};

// What the caller and the worker share. The worker co-owns it, so that all
// it touches stays until it ends, and its steps run on its thread alone.
struct BackwardFrames::Shared {
    Shared(MediaAsset asset, QSize pictureSize);

    void follow(double seconds);
    void rewind(double seconds, double floorSeconds);
    // The picture `frames` steps further back; none when none is decoded.
    std::shared_ptr<Picture> pop(int frames);
    bool exhausted() const;
    // Idle; the pictures kept go back to their pool at once, outside the lock.
    void halt();
    // The worker: steps until asked to stop, then closes the file.
    void work(const std::stop_token& stop);
    const MediaAsset& asset() const { return asset_; }

private:
    // Rewinding: following on up to the frame on show before turning backward.
    enum class Mode { Idle, Following, Rewinding, Backward };

    void steps(const std::stop_token& stop);
    bool hasWork() const;
    bool followNeedsSeek() const;
    void turnBackward();
    void followStep(std::unique_lock<std::mutex>& lock);
    void backwardStep(std::unique_lock<std::mutex>& lock, const std::stop_token& stop);

    const MediaAsset asset_;
    const QSize size_;
    const double frameSeconds_;
    const size_t stretch_;               // frames decoded backwards at a time
    std::unique_ptr<Decoding> decoding_; // the worker's alone

    mutable std::mutex mutex_; // guards everything below
    // Woken by a change of mode or target, a frame taken, and the stop.
    std::condition_variable_any wake_;
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
};

BackwardFrames::Shared::Shared(MediaAsset asset, QSize pictureSize)
    : asset_(std::move(asset)), size_(storedSize(asset_, pictureSize)), frameSeconds_(asset_.frameSeconds()),
      stretch_(std::max(kFewestInStretch, size_t(kStretchBytes / (size_.width() * size_.height() * 1.5))))
{
    if (!asset_.video) failed_ = true;
}

BackwardFrames::BackwardFrames(MediaAsset asset, QSize pictureSize)
    : shared_(std::make_shared<Shared>(std::move(asset), pictureSize)),
      conversion_(std::make_unique<media::FrameConverter>())
{
    stop_ = BackgroundThreads::start([shared = shared_](std::stop_token stop) { shared->work(stop); });
}

// Not waiting for the worker: whatever it is in (a file that is slow to
// open, a frame being decoded), it ends after that on its own. The pictures
// go back to their pool first, while the worker still holds it, so that the
// pool's memory is freed when the worker ends, on its thread, not here.
BackwardFrames::~BackwardFrames()
{
    shared_->halt();
    stop_.request_stop();
}

void BackwardFrames::follow(double seconds)
{
    shared_->follow(seconds);
}

void BackwardFrames::rewind(double seconds, double floorSeconds)
{
    shared_->rewind(seconds, floorSeconds);
}

std::optional<BackwardFrame> BackwardFrames::take(int frames)
{
    const std::shared_ptr<Picture> picture = shared_->pop(frames);
    if (!picture) return std::nullopt;
    return BackwardFrame{picture->seconds, shown(*picture)};
}

QImage BackwardFrames::shown(const Picture& picture)
{
    const QImage image = conversion_->quickImage(picture.frame.get());
    const MediaAsset& asset = shared_->asset();
    return asset.video ? uprightImage(image, asset.video->preferredTransform) : image;
}

bool BackwardFrames::exhausted() const
{
    return shared_->exhausted();
}

void BackwardFrames::halt()
{
    shared_->halt();
}

void BackwardFrames::Shared::follow(double seconds)
{
    {
        std::lock_guard lock(mutex_);
        if (mode_ != Mode::Following) {
            mode_ = Mode::Following;
            ++generation_;
            kept_.clear();
            positioned_ = false;
        }
        followTo_ = seconds;
    }
    wake_.notify_one();
}

void BackwardFrames::Shared::rewind(double seconds, double floorSeconds)
{
    {
        std::lock_guard lock(mutex_);
        rewindFrom_ = seconds;
        floor_ = floorSeconds;
        // Following a little behind, it first catches up with the frame on show.
        const bool behind = mode_ == Mode::Following && positioned_ && decodedTo_ < seconds - frameSeconds_ / 2;
        if (behind && seconds - decodedTo_ < kFollowJump) {
            mode_ = Mode::Rewinding; // the frame being decoded is still wanted
            followTo_ = seconds;
        } else {
            ++generation_;
            turnBackward();
        }
    }
    wake_.notify_one();
}

// The frames kept while following, before the one on show, are the first
// stretch when they reach it.
void BackwardFrames::Shared::turnBackward()
{
    std::deque<std::shared_ptr<Picture>> before;
    const double shown = rewindFrom_ - frameSeconds_ / 2;
    if (mode_ != Mode::Idle && mode_ != Mode::Backward && !kept_.empty()
        && kept_.back()->seconds >= rewindFrom_ - 1.5 * frameSeconds_) {
        for (auto picture = kept_.rbegin(); picture != kept_.rend(); ++picture)
            if ((*picture)->seconds < shown) before.push_back(*picture);
    }
    kept_ = std::move(before);
    mode_ = Mode::Backward;
    positioned_ = false;
    upper_ = kept_.empty() ? shown : kept_.back()->seconds;
    atStart_ = upper_ <= floor_ + frameSeconds_ / 4;
}

std::shared_ptr<BackwardFrames::Picture> BackwardFrames::Shared::pop(int frames)
{
    std::shared_ptr<Picture> picture;
    {
        std::lock_guard lock(mutex_);
        if (mode_ != Mode::Backward || kept_.empty()) return nullptr;
        for (int step = 0; step < std::max(1, frames) && !kept_.empty(); ++step) {
            picture = std::move(kept_.front());
            kept_.pop_front();
        }
    }
    wake_.notify_one();
    return picture;
}

bool BackwardFrames::Shared::exhausted() const
{
    std::lock_guard lock(mutex_);
    // A failure while catching up with forward play leaves nothing to take either.
    if (failed_) return mode_ != Mode::Backward || kept_.empty();
    return mode_ == Mode::Backward && kept_.empty() && atStart_;
}

void BackwardFrames::Shared::halt()
{
    std::deque<std::shared_ptr<Picture>> kept;
    std::lock_guard lock(mutex_);
    ++generation_;
    mode_ = Mode::Idle;
    kept.swap(kept_);
    positioned_ = false;
}

bool BackwardFrames::Shared::hasWork() const
{
    if (failed_) return false;
    if (mode_ == Mode::Following) return followNeedsSeek() || (!followEnded_ && decodedTo_ < followTo_ + kFollowLead);
    if (mode_ == Mode::Rewinding) return true;
    return mode_ == Mode::Backward && !atStart_ && kept_.size() <= stretch_;
}

void BackwardFrames::Shared::work(const std::stop_token& stop)
{
    steps(stop);
    // The file is closed here rather than on the thread of whoever holds
    // the last of this, which may be the caller's.
    decoding_.reset();
}

void BackwardFrames::Shared::steps(const std::stop_token& stop)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, stop, [this] { return hasWork(); });
        if (stop.stop_requested()) return;
        try {
            if (!decoding_) {
                lock.unlock();
                auto decoding = std::make_unique<Decoding>(asset_, size_);
                lock.lock();
                decoding_ = std::move(decoding);
                continue;
            }
            if (mode_ == Mode::Rewinding && (followEnded_ || decodedTo_ >= rewindFrom_ - frameSeconds_ / 2)) {
                ++generation_;
                turnBackward();
                continue;
            }
            if (mode_ == Mode::Backward)
                backwardStep(lock, stop);
            else
                followStep(lock);
        } catch (const std::exception&) {
            // A file that cannot be read on: backward play ends where it is.
            if (!lock.owns_lock()) lock.lock();
            failed_ = true;
        }
    }
}

// Whether forward play went back (following runs up to its lead ahead of
// it), or jumped past a key frame ahead of where following got to (without
// an index: far ahead). Worker only.
bool BackwardFrames::Shared::followNeedsSeek() const
{
    if (!positioned_ || !decoding_ || followTo_ < decodedTo_ - kFollowLead - 2 * frameSeconds_) return true;
    if (const std::optional<MediaTime> key = decoding_->decoder.keyFrameAtOrBefore(at(followTo_)))
        return key->seconds() > std::max(decodedTo_, soughtTo_) + frameSeconds_ / 2;
    return followTo_ > std::max(decodedTo_, soughtTo_) + kFollowJump;
}

// Decodes the next frame of forward play, keeping it when it is among the
// last stretch before the frame on show.
void BackwardFrames::Shared::followStep(std::unique_lock<std::mutex>& lock)
{
    const uint64_t generation = generation_;
    const double target = followTo_;
    const bool seek = followNeedsSeek();
    if (seek) {
        kept_.clear();
        positioned_ = true;
        soughtTo_ = target;
        followEnded_ = false;
        decodedTo_ = -std::numeric_limits<double>::infinity();
    }
    const double window = target - double(stretch_ + 1) * frameSeconds_;
    lock.unlock();
    if (seek) decoding_->decoder.seek(at(target));
    const AVFrame* frame = decoding_->decoder.next(at(window));
    std::shared_ptr<Picture> picture;
    double seconds = 0;
    if (frame) {
        seconds = decoding_->decoder.frameTime(frame).seconds();
        if (seconds >= window) picture = decoding_->keep(frame, seconds);
    }
    lock.lock();
    if (generation != generation_) return;
    if (!frame) {
        followEnded_ = true;
        return;
    }
    decodedTo_ = seconds;
    if (!picture) return;
    kept_.push_back(std::move(picture));
    while (kept_.size() > stretch_) kept_.pop_front();
}

// Decodes the stretch of frames before upper_ from its key frame and puts
// them behind those still to be taken.
void BackwardFrames::Shared::backwardStep(std::unique_lock<std::mutex>& lock, const std::stop_token& stop)
{
    const uint64_t generation = generation_;
    const double upper = upper_ - frameSeconds_ / 4;
    const double floor = floor_ - frameSeconds_ / 4;
    const double window = upper_ - double(stretch_ + 1) * frameSeconds_;
    lock.unlock();
    media::VideoDecoder& decoder = decoding_->decoder;
    decoder.seek(at(upper));
    std::deque<std::shared_ptr<Picture>> stretch; // oldest first
    while (const AVFrame* frame = decoder.next(at(window))) {
        const double seconds = decoder.frameTime(frame).seconds();
        if (seconds >= upper) break;
        if (seconds >= window && seconds >= floor) {
            stretch.push_back(decoding_->keep(frame, seconds));
            if (stretch.size() > stretch_) stretch.pop_front();
        }
        lock.lock();
        const bool superseded = generation != generation_ || stop.stop_requested();
        lock.unlock();
        if (superseded) break;
    }
    lock.lock();
    if (generation != generation_ || stop.stop_requested()) return;
    for (auto picture = stretch.rbegin(); picture != stretch.rend(); ++picture) kept_.push_back(*picture);
    atStart_ = stretch.empty() || stretch.front()->seconds <= floor + frameSeconds_ / 2;
    if (!stretch.empty()) upper_ = stretch.front()->seconds;
}

} // namespace zanto
