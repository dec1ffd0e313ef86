#include "platform/media/BackwardPlay.h"

#include "platform/media/BackwardFrames.h"

#include <algorithm>
#include <cmath>
#include <system_error>

namespace zanto {

namespace {

// Pictures of backward play are kept at the view's size, but no larger.
const QSize kLargestBackwardPicture(1280, 720);

} // namespace

BackwardPlay::BackwardPlay(Hooks hooks) : hooks_(std::move(hooks))
{
    clock_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&clock_, &QTimer::timeout, [this] { step(); });
}

BackwardPlay::~BackwardPlay() = default;

void BackwardPlay::makeFrames(const MediaAsset& asset, QSize drawnSize)
{
    QSize size = drawnSize;
    if (size.width() > kLargestBackwardPicture.width() || size.height() > kLargestBackwardPicture.height())
        size = size.scaled(kLargestBackwardPicture, Qt::KeepAspectRatio);
    frameSeconds_ = asset.frameSeconds();
    try {
        frames_ = std::make_unique<BackwardFrames>(asset, size);
    } catch (const std::system_error&) {
        // The system refused the worker's thread: forward play goes on
        // without backward play, and the next play asks again.
    }
}

void BackwardPlay::setRate(double rate)
{
    const double interval = std::max(frameSeconds_ / std::abs(rate), 1.0 / 60);
    steps_ = std::max(1, int(std::lround(std::abs(rate) * interval / frameSeconds_)));
    clock_.setInterval(int(std::lround(interval * 1000)));
}

void BackwardPlay::start(double seconds)
{
    standInSeconds_ = seconds;
    active_ = true;
    // The frame covering the reverse end starts up to a frame before it.
    const double floor = reverseEnd_.isValid() ? reverseEnd_.seconds() - frameSeconds_ : 0;
    frames_->rewind(standInSeconds_, floor);
    clock_.start();
    // The frames just shown forwards are there at once.
    step();
}

void BackwardPlay::step()
{
    std::optional<BackwardFrame> frame = frames_->take(steps_);
    if (!frame) {
        // The file's start, or a file that cannot be read on: play stops.
        if (frames_->exhausted()) hooks_.ended();
        return;
    }
    const double seconds = frame->seconds;
    show(std::move(*frame));
    if (reverseEnd_.isValid() && seconds <= reverseEnd_.seconds() + 1e-3) {
        // mpv settles on the frame covering the reverse end.
        standInSeconds_ = reverseEnd_.seconds();
        hooks_.ended();
    }
}

void BackwardPlay::show(BackwardFrame frame)
{
    standIn_ = std::move(frame.image);
    standInSeconds_ = frame.seconds;
    hooks_.shown();
}

std::optional<double> BackwardPlay::leave()
{
    if (!active_) return std::nullopt;
    active_ = false;
    clock_.stop();
    frames_->halt();
    if (standIn_.isNull()) return std::nullopt;
    return standInSeconds_;
}

void BackwardPlay::settled(uint64_t generation)
{
    if (generation == settleGeneration_) standIn_ = QImage();
}

void BackwardPlay::halt()
{
    if (active_) {
        active_ = false;
        clock_.stop();
        frames_->halt();
    }
    standIn_ = QImage();
}

void BackwardPlay::drop()
{
    clock_.stop();
    active_ = false;
    frames_.reset();
    standIn_ = QImage();
}

void BackwardPlay::follow(double seconds, double rate)
{
    if (!frames_ || active_) return;
    if (rate > 0 || (rate == 0 && std::abs(seconds - followedTo_) < 0.2)) {
        frames_->follow(seconds);
        followedTo_ = seconds;
    }
}

} // namespace zanto
