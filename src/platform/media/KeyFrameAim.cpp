#include "platform/media/KeyFrameAim.h"

#include "platform/media/MediaError.h"
#include "platform/media/MediaInput.h"

#include <system_error>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace zanto::media {
namespace {

void seekStream(AVFormatContext* format, AVStream* stream, const MediaTime& time)
{
    // A failed seek (an unseekable stream) falls back to the stream's start.
    if (av_seek_frame(format, stream->index, streamTimestamp(format, stream, time), AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(format, stream->index, stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time,
                      AVSEEK_FLAG_BACKWARD);
}

// What one search may still spend: its deadline and cancel flag.
class SearchLimits {
public:
    explicit SearchLimits(const KeyFrameSearchBounds& bounds) : cancel_(bounds.cancel)
    {
        if (bounds.time) deadline_ = std::chrono::steady_clock::now() + *bounds.time;
    }
    bool cancelled() const { return cancel_ && cancel_->load(); }
    bool spent() const { return cancelled() || (deadline_ && std::chrono::steady_clock::now() >= *deadline_); }

private:
    const std::atomic<bool>* cancel_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

enum class Pass {
    KeyFrame,    // a key frame at or before the time
    AimFurther,  // none up to the time (or to the file's end)
    OutOfBounds, // none within the bytes or time the search may spend
};

// Reads on from where a seek landed to the first key frame of `stream`. A
// packet decoded after the time is shown after it, so once one is read no
// key frame at or before the time follows.
Pass readPass(AVFormatContext* format, AVStream* stream, const MediaTime& time, int64_t passBytes,
              const SearchLimits& limits)
{
    const int64_t from = avio_tell(format->pb);
    PacketPtr packet = allocatePacket();
    while (!limits.spent() && avio_tell(format->pb) - from <= passBytes) {
        if (av_read_frame(format, packet.get()) < 0) return Pass::AimFurther;
        const bool ours = packet->stream_index == stream->index;
        const bool key = ours && (packet->flags & AV_PKT_FLAG_KEY) && packet->pts != AV_NOPTS_VALUE;
        const int64_t pts = packet->pts;
        const int64_t dts = packet->dts;
        av_packet_unref(packet.get());
        if (key) return streamTime(format, stream, pts) <= time ? Pass::KeyFrame : Pass::AimFurther;
        if (ours && dts != AV_NOPTS_VALUE && streamTime(format, stream, dts) > time) return Pass::AimFurther;
    }
    return Pass::OutOfBounds;
}

} // namespace

KeyFrameSeek seekToKeyFrameBefore(AVFormatContext* format, AVStream* stream, const MediaAsset& asset,
                                  const MediaTime& time, const KeyFrameSearchBounds& bounds)
{
    MediaTime preroll = asset.seekPreroll;
    if (preroll.value <= 0) {
        seekStream(format, stream, time);
        return {KeyFrameLanding::KeyFrame, preroll};
    }
    const MediaTime first = asset.video ? asset.video->timeRange.start : MediaTime{0, 1};
    const SearchLimits limits(bounds);
    // The search over the bytes lands on the same place for the same aim.
    while (time - preroll > first) {
        seekStream(format, stream, time - preroll);
        const int64_t landed = avio_tell(format->pb);
        const Pass pass = readPass(format, stream, time, bounds.passBytes, limits);
        if (pass == Pass::KeyFrame) {
            seekStream(format, stream, time - preroll);
            return {KeyFrameLanding::KeyFrame, preroll};
        }
        // None within bounds: far from the start no better aim is known; near
        // it, reading from the first byte costs little more than a pass.
        if (pass == Pass::OutOfBounds && (landed > bounds.passBytes || limits.cancelled()))
            return {KeyFrameLanding::NotFound, preroll};
        if (pass == Pass::OutOfBounds) break;
        preroll = preroll + preroll;
    }
    av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
    return {KeyFrameLanding::FileStart, time - first + preroll};
}

AVStream* probedVideoStream(AVFormatContext* format, const MediaAsset& asset)
{
    if (!asset.video || asset.video->streamIndex < 0 || unsigned(asset.video->streamIndex) >= format->nb_streams)
        return nullptr;
    AVStream* stream = format->streams[asset.video->streamIndex];
    const AVCodecParameters* codec = stream->codecpar;
    if (codec->codec_type != AVMEDIA_TYPE_VIDEO || asset.video->codecName != avcodec_get_name(codec->codec_id))
        return nullptr;
    return stream;
}

KeyFrameAim::KeyFrameAim(MediaAsset asset, KeyFrameSearchBounds bounds)
    : asset_(std::move(asset)), bounds_(bounds), relay_(std::make_unique<QObject>())
{
    bounds_.cancel = &cancel_;
}

KeyFrameAim::~KeyFrameAim()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.reset();
    }
    cancel_ = true;
    wake_.notify_one();
    if (worker_.joinable()) worker_.join();
}

void KeyFrameAim::aim(const MediaTime& time, QObject* context, Answer done)
{
    Ask ask{time, context, std::move(done)};
    if (!startWorker()) return answer(std::move(ask), search(time, kCallerBounds));
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(ask);
    }
    wake_.notify_one();
}

MediaTime KeyFrameAim::prerollFor(const MediaTime& time)
{
    return search(time, kCallerBounds).value_or(asset_.seekPreroll);
}

bool KeyFrameAim::startWorker()
{
    if (worker_.joinable()) return true;
    try {
        worker_ = std::thread([this] { work(); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void KeyFrameAim::work()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || pending_; });
        if (stopping_) return;
        Ask ask = std::move(*pending_);
        pending_.reset();
        lock.unlock();
        std::optional<MediaTime> preroll = search(ask.time, bounds_);
        // A search cut short by the destructor is answered by no one.
        if (!cancel_) answer(std::move(ask), preroll);
        lock.lock();
    }
}

// Queued to the relay even on the owner's thread, so that `done` never runs
// inside the call that asked.
void KeyFrameAim::answer(Ask ask, std::optional<MediaTime> preroll)
{
    QMetaObject::invokeMethod(
        relay_.get(),
        [ask = std::move(ask), preroll] {
            if (ask.context) ask.done(preroll);
        },
        Qt::QueuedConnection);
}

std::optional<MediaTime> KeyFrameAim::search(const MediaTime& time, const KeyFrameSearchBounds& bounds)
{
    if (asset_.seekPreroll.value <= 0) return asset_.seekPreroll;
    std::lock_guard lock(readerMutex_);
    if (!openReader()) return std::nullopt;
    const KeyFrameSeek sought = seekToKeyFrameBefore(format_.get(), stream_, asset_, time, bounds);
    if (sought.landing == KeyFrameLanding::NotFound) return std::nullopt;
    return sought.preroll;
}

bool KeyFrameAim::openReader()
{
    if (format_ || failed_) return bool(format_);
    try {
        InputFormatPtr format = openInput(asset_.path, &cancel_);
        stream_ = probedVideoStream(format.get(), asset_);
        failed_ = !stream_;
        if (failed_) return false;
        for (unsigned i = 0; i < format->nb_streams; ++i)
            format->streams[i]->discard = int(i) == stream_->index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        format_ = std::move(format);
    } catch (const MediaError&) {
        failed_ = true;
    }
    return bool(format_);
}

} // namespace zanto::media
