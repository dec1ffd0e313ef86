#include "platform/media/PlayerItemLife.h"

#include <algorithm>
#include <cmath>

namespace zanto {

void PlayerItemLife::load(bool hasItem, const PlayerItemShape& shape, std::optional<double> start)
{
    shape_ = shape;
    phase_ = hasItem ? Phase::Loading : Phase::None;
    rate_ = 0;
    entry_ = hasItem ? -1 : 0;
    loaded_ = false;
    atEnd_ = false;
    landing_.reset();
    loadStart_ = hasItem ? start : std::nullopt;
    seek_ = loadStart_ ? SeekStage::ByLoad : SeekStage::None;
    target_ = loadStart_.value_or(0);
}

// A seek clears whatever the place before it armed: the end reached there,
// the landing watched, the sound playing out.
PlayerItemLife::Step PlayerItemLife::seek(double target)
{
    Step step;
    if (phase_ == Phase::None) {
        step.seekFinished = false;
        return step;
    }
    atEnd_ = false;
    landing_.reset();
    if (phase_ == Phase::Ended || phase_ == Phase::PlayingOut) phase_ = rate_ > 0 ? Phase::Playing : Phase::Landed;
    target_ = target;
    if (loaded_) {
        seek_ = SeekStage::Sent;
        ++generation_;
        step.sendSeek = true;
    } else {
        // The load lands there itself: its landing completes the seek.
        seek_ = loadStart_ == target ? SeekStage::ByLoad : SeekStage::AfterLoad;
    }
    return step;
}

PlayerItemLife::Step PlayerItemLife::setRate(double rate, std::optional<double> position, bool reachedEnd)
{
    Step step;
    rate_ = rate;
    switch (phase_) {
    case Phase::Landed:
    case Phase::Playing:
    case Phase::PlayingOut:
        phase_ = rate > 0 ? Phase::Playing : Phase::Landed;
        break;
    case Phase::Ended:
        if (rate > 0) phase_ = Phase::Playing;
        break;
    default:
        return step;
    }
    // Once a seek has landed, the flag tells of the place it landed on.
    if (seek_ != SeekStage::None) return step;
    atEnd_ = atEnd_ || reachedEnd;
    if (rate > 0 && atEnd_) finishForward(position, step);
    return step;
}

PlayerItemLife::Step PlayerItemLife::started(int64_t entry)
{
    startedEntry_ = entry;
    return {};
}

PlayerItemLife::Step PlayerItemLife::fileLoaded()
{
    Step step;
    if (!ownsEvents()) return step;
    loaded_ = true;
    if (seek_ == SeekStage::AfterLoad) {
        seek_ = SeekStage::Sent;
        ++generation_;
        step.sendSeek = true;
    }
    return step;
}

PlayerItemLife::Step PlayerItemLife::endFile(int64_t entry, bool failed)
{
    Step step;
    if (phase_ == Phase::None || entry != entry_ || !failed) return step;
    finishSeek(false, step);
    fail(step);
    return step;
}

PlayerItemLife::Step PlayerItemLife::seekReply(uint64_t generation, bool ok)
{
    Step step;
    if (generation != generation_ || seek_ != SeekStage::Sent) return step;
    if (ok)
        seek_ = SeekStage::Taken;
    else
        finishSeek(false, step);
    return step;
}

PlayerItemLife::Step PlayerItemLife::seekStarted()
{
    if (seek_ == SeekStage::Taken) seek_ = SeekStage::Started;
    return {};
}

PlayerItemLife::Step PlayerItemLife::restarted(bool reachedEnd, std::optional<double> position)
{
    Step step;
    if (phase_ == Phase::None || !loaded_) return step;
    const bool landing = phase_ == Phase::Loading;
    if (landing) phase_ = rate_ > 0 ? Phase::Playing : Phase::Landed;
    if (seek_ != SeekStage::Started && seek_ != SeekStage::ByLoad) {
        if (landing) atEnd_ = reachedEnd;
        return step;
    }
    // The load's own landing is watched until the engine's clock tells which
    // picture it found, where a picture must cover the time asked: inside the
    // pictures, and short of the forward end by a frame or more, for the
    // engine stops there as at the file's end, on a good file sometimes
    // before the picture covering the time asked.
    if (seek_ == SeekStage::ByLoad && withinPictures(target_)
        && (!forwardEnd_ || *forwardEnd_ >= target_ + 2 * shape_.frameSeconds))
        landing_ = target_;
    finishSeek(true, step);
    // The end flag read at the landing tells of the place landed on.
    const bool arrived = reachedEnd && !atEnd_;
    atEnd_ = reachedEnd;
    if (arrived) arrive(position, step);
    return step;
}

PlayerItemLife::Step PlayerItemLife::endReached(bool reached, std::optional<double> position)
{
    Step step;
    // Before the item's file has started and landed, the end told is the
    // file's before it; while a seek is under way, the place left's, and the
    // landing reads it afresh.
    if (!ownsEvents() || phase_ == Phase::Loading || seek_ != SeekStage::None) return step;
    const bool arrived = reached && !atEnd_;
    atEnd_ = reached;
    if (arrived) arrive(position, step);
    return step;
}

// Play reached the end of the file's data or the forward end.
void PlayerItemLife::arrive(std::optional<double> position, Step& step)
{
    // Backwards to the start of a movie without pictures: play stops, told to no one.
    if (rate_ < 0) step.pause = true;
    if (phase_ != Phase::Playing) return;
    if (endsInSoundAlone()) {
        // The engine tells of the end once the last sound is decoded, and
        // pauses by itself once its output has played it.
        phase_ = Phase::PlayingOut;
        step.awaitPlayOut = true;
        return;
    }
    finishForward(position, step);
}

// The engine pauses by itself only where forward play reached its end, the
// file's or the forward end, its sound played out; and it does not always
// tell of that end (a stretch shorter than the time its output takes to
// start).
PlayerItemLife::Step PlayerItemLife::pausedByEngine(bool stillPaused, std::optional<double> position)
{
    Step step;
    const bool forward = phase_ == Phase::Playing || phase_ == Phase::PlayingOut;
    if (!forward || !stillPaused || rate_ <= 0 || seek_ != SeekStage::None || !ownsEvents()) return step;
    atEnd_ = true;
    finishForward(position, step);
    return step;
}

PlayerItemLife::Step PlayerItemLife::timePosition(double seconds)
{
    Step step;
    // While a seek is under way the engine's clock still tells where it was;
    // until the item's file starts, it tells the file before's.
    if (seek_ != SeekStage::None || !landing_ || !ownsEvents()) return step;
    // Until the picture found is up, the engine's clock tells the time the
    // file was loaded at, which tells nothing of that picture; and it may tell
    // that change after the playback restart.
    if (std::abs(seconds - *landing_) <= 1e-5) return step;
    // The file's data ends before where it was loaded: the engine shows the
    // last picture there is, from outside the item.
    if (beforeLanding(seconds)) fail(step);
    landing_.reset();
    return step;
}

PlayerItemLife::Step PlayerItemLife::decodeFailed()
{
    Step step;
    if (loaded_ && ownsEvents()) fail(step);
    return step;
}

PlayerItemLife::Step PlayerItemLife::playOutElapsed(std::optional<double> position)
{
    Step step;
    if (phase_ == Phase::PlayingOut) finishForward(position, step);
    return step;
}

// Whether `seconds` lies where the video track has pictures to cover it: not
// in the sound that outlasts them.
bool PlayerItemLife::withinPictures(double seconds) const
{
    if (!shape_.video) return false;
    return shape_.picturesEnd <= shape_.picturesStart || seconds < shape_.picturesEnd - shape_.frameSeconds;
}

// Whether forward play ends where no picture covers the time: a movie without
// video, or the sound that outlasts the pictures.
bool PlayerItemLife::endsInSoundAlone() const
{
    if (!shape_.audio) return false;
    return !withinPictures(forwardEnd_.value_or(shape_.durationSeconds));
}

// Whether forward play stopped well before its forward end (or the movie's
// stated end): the file's data runs out there. The last frame starts up to a
// frame before the end; clip ranges may end a little past a file's end.
bool PlayerItemLife::endedShort(std::optional<double> position) const
{
    if (!position) return false;
    const double end = std::min(shape_.durationSeconds, forwardEnd_.value_or(shape_.durationSeconds));
    return *position + shape_.frameSeconds + 0.05 < end;
}

// Whether the picture at `seconds` stands before where the file landed. With
// an even frame rate the file landed at the start of the frame covering the
// time asked; in a movie whose frames last unevenly, that frame starts up to
// a couple of frames before.
bool PlayerItemLife::beforeLanding(double seconds) const
{
    const double frame = shape_.frameSeconds;
    return seconds < *landing_ - (shape_.evenFrames ? frame / 2 : 2 * frame + 0.05);
}

void PlayerItemLife::finishForward(std::optional<double> position, Step& step)
{
    step.pause = true;
    if (phase_ == Phase::Failed) return;
    if (endedShort(position)) return fail(step);
    phase_ = Phase::Ended;
    step.report = Report::End;
}

void PlayerItemLife::fail(Step& step)
{
    if (phase_ == Phase::Failed) return;
    phase_ = Phase::Failed;
    step.report = Report::Failure;
}

void PlayerItemLife::finishSeek(bool finished, Step& step)
{
    if (seek_ == SeekStage::None) return;
    seek_ = SeekStage::None;
    step.seekFinished = finished;
}

} // namespace zanto
