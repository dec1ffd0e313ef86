#include "platform/media/VideoDecoder.h"

#include "platform/media/KeyFrameAim.h"
#include "platform/media/MediaError.h"
#include "platform/media/MediaInput.h"
#include "platform/media/StandingBack.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace zanto::media {
namespace {

// In a file without an index: beyond this distance ahead, a seek is cheaper
// than decoding up to the time.
const MediaTime kSeekAhead{2, 1};
// How far past its last frame a track's picture may be held when the track
// should go on: the slack clip ranges are allowed past a file's stated end.
// Further on, the file's data ends before its header says (a file cut short).
const MediaTime kHoldSlack{40, 1000};
// How often a seek aims further back when it lands on a key frame shown
// after the time asked for.
constexpr int kSeekTries = 6;
// What the decoder's frame threads may hold in pictures, roughly.
constexpr int64_t kFrameThreadBytes = int64_t(100) << 20;
// A search for a key frame that gives up decodes from the file's first byte,
// far dearer than reading packets: the search may read a long key-frame
// interval of a high-rate stream (some 128 MiB is 20 s at 50 Mb/s). Bytes
// alone bound it, so that the same seek always lands on the same place.
constexpr KeyFrameSearchBounds kSearchBounds{.passBytes = int64_t(128) << 20};

CodecContextPtr openVideoCodec(const AVStream* stream, const std::string& name, int standsBack, int threads)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        throw MediaError("Cannot decode the video of “" + name + "”: " + mediaErrorText(AVERROR_DECODER_NOT_FOUND));
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) throw MediaError("Cannot decode the video of “" + name + "”: " + mediaErrorText(AVERROR(ENOMEM)));
    checkMedia(avcodec_parameters_to_context(context.get(), stream->codecpar),
               "Cannot decode the video of “" + name + "”");
    context->pkt_timebase = stream->time_base;
    // Each frame thread holds pictures of its own: very large pictures get fewer.
    const int64_t frameBytes = int64_t(stream->codecpar->width) * stream->codecpar->height * 3 / 2;
    context->thread_count = std::max(1, threads);
    if (frameBytes > 0 && frameBytes * 2 * context->thread_count > kFrameThreadBytes)
        context->thread_count = int(std::max<int64_t>(1, kFrameThreadBytes / (frameBytes * 2)));
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    int status = 0;
    // The frame threads start where they stand back.
    startStandingBack(standsBack, [&] { status = avcodec_open2(context.get(), codec, nullptr); });
    checkMedia(status, "Cannot decode the video of “" + name + "”");
    return context;
}

} // namespace

VideoDecoder::VideoDecoder(const std::filesystem::path& path, int frameThreads)
    : VideoDecoder(MediaAsset::load(path), 0, frameThreads)
{ }

VideoDecoder::VideoDecoder(MediaAsset asset, int standsBack, int frameThreads)
    : path_(asset.path), asset_(std::move(asset)), packet_(allocatePacket()), decoded_(allocateFrame()),
      current_(allocateFrame()), ahead_(allocateFrame())
{
    const std::filesystem::path& path = path_;
    if (!asset_.video) throw MediaError("“" + path.string() + "” has no video track");
    format_ = openInput(path);
    stream_ = probedVideoStream(format_.get(), asset_);
    if (!stream_) throw MediaError("“" + path.string() + "” no longer holds the video track it was probed with");
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        format_->streams[i]->discard = int(i) == asset_.video->streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    codec_ = openVideoCodec(stream_, path.string(), standsBack, frameThreads);
}

void VideoDecoder::seek(const MediaTime& time)
{
    const KeyFrameSeek sought = seekToKeyFrameBefore(format_.get(), stream_, asset_, time, kSearchBounds);
    // No key frame within reach: the file's first key frame is then the only
    // one known before the time, and decoding from the first byte still
    // reaches the right frame, only slower.
    if (sought.landing == KeyFrameLanding::NotFound) av_seek_frame(format_.get(), -1, 0, AVSEEK_FLAG_BYTE);
    unmarked_ = sought.landing == KeyFrameLanding::NotFound;
    avcodec_flush_buffers(codec_.get());
    latestBefore_.reset();
    endOfStream_ = false;
    draining_ = false;
    forgetHeldFrames();
}

// One step of the send/receive loop; false once the decoder is drained.
bool VideoDecoder::receive()
{
    while (true) {
        int status = avcodec_receive_frame(codec_.get(), decoded_.get());
        if (status >= 0) return true;
        if (status == AVERROR_EOF) return false;
        if (status != AVERROR(EAGAIN)) checkMedia(status, "Cannot decode the video of “" + path_.string() + "”");
        if (draining_) return false;
        status = av_read_frame(format_.get(), packet_.get());
        if (status == AVERROR_EOF || status == AVERROR(EIO)) {
            draining_ = true;
            checkMedia(avcodec_send_packet(codec_.get(), nullptr), "Cannot finish decoding “" + path_.string() + "”");
            continue;
        }
        checkMedia(status, "Cannot read “" + path_.string() + "”");
        if (packet_->stream_index == stream_->index) {
            codec_->skip_frame = hiddenBeforeTarget(packet_.get()) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            status = avcodec_send_packet(codec_.get(), packet_.get());
            // A damaged packet is skipped, as players do; the next key frame recovers.
            if (status < 0 && status != AVERROR(EAGAIN) && status != AVERROR_INVALIDDATA)
                checkMedia(status, "Cannot decode the video of “" + path_.string() + "”");
        }
        av_packet_unref(packet_.get());
    }
}

// Whether the packet's frame comes before another frame that is still at or
// before the time asked for: then it is never on show, and if no frame
// refers to it, it need not be decoded at all. Seeking lands on a key frame
// well before the time asked for; this skips much of the way there.
bool VideoDecoder::hiddenBeforeTarget(const AVPacket* packet)
{
    if (!target_ || packet->pts == AV_NOPTS_VALUE) return false;
    const MediaTime time = streamTime(format_.get(), stream_, packet->pts);
    const bool hidden = latestBefore_ && time < *latestBefore_;
    if (time <= *target_ && (!latestBefore_ || time > *latestBefore_)) latestBefore_ = time;
    return hidden;
}

const AVFrame* VideoDecoder::next(const std::optional<MediaTime>& wantedFrom)
{
    target_ = wantedFrom;
    forgetHeldFrames();
    return decodeNext();
}

void VideoDecoder::forgetHeldFrames()
{
    av_frame_unref(current_.get());
    av_frame_unref(ahead_.get());
    hasCurrent_ = false;
    hasAhead_ = false;
}

const AVFrame* VideoDecoder::decodeNext()
{
    if (endOfStream_) return nullptr;
    av_frame_unref(decoded_.get());
    if (!receive()) {
        endOfStream_ = true;
        return nullptr;
    }
    return decoded_.get();
}

bool VideoDecoder::heldTooLong(const MediaTime& time) const
{
    if (!endOfStream_ || !hasCurrent_ || hasAhead_) return false;
    MediaTime shownUntil = frameTime(current_.get());
    const MediaTime& nominal = asset_.video->frameDuration;
    if (nominal.isValid() && nominal.value > 0) shownUntil = shownUntil + nominal;
    if (time <= shownUntil + kHoldSlack) return false;
    // Many a good file's pictures end before its sound (a phone's, a
    // recorder's): there the last picture is held, as players hold it. Only
    // pictures that stop short of where the file says they end, or a file
    // whose data the probe found to run out, are cut short.
    return asset_.dataEnd.has_value() || shownUntil + kHoldSlack < asset_.video->timeRange.end();
}

MediaTime VideoDecoder::frameTime(const AVFrame* frame) const
{
    int64_t stamp = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    if (stamp == AV_NOPTS_VALUE) stamp = 0;
    return streamTime(format_.get(), stream_, stamp);
}

std::optional<MediaTime> VideoDecoder::keyFrameAtOrBefore(const MediaTime& time) const
{
    const AVIndexEntry* entry = avformat_index_get_entry_from_timestamp(
        stream_, streamTimestamp(format_.get(), stream_, time), AVSEEK_FLAG_BACKWARD);
    if (!entry || !(entry->flags & AVINDEX_KEYFRAME)) return std::nullopt;
    return streamTime(format_.get(), stream_, entry->timestamp);
}

std::vector<MediaTime> VideoDecoder::keyFrameTimes() const
{
    std::vector<MediaTime> times;
    const int count = avformat_index_get_entries_count(stream_);
    for (int i = 0; i < count; ++i)
        if (const AVIndexEntry* entry = avformat_index_get_entry(stream_, i); entry->flags & AVINDEX_KEYFRAME)
            times.push_back(streamTime(format_.get(), stream_, entry->timestamp));
    return times;
}

// Whether decoding on from `latest` gets to `time` sooner than a seek: when
// the key frame a seek would land on is no later than what is decoded
// already. Without an index, a short way ahead is decoded and a long one
// sought.
bool VideoDecoder::decodingReaches(const MediaTime& time, const AVFrame* latest) const
{
    const MediaTime decoded = frameTime(latest);
    // A stream that showed no key frame within reach of a seek would most
    // likely send the next one back to its first byte too: decoding on from
    // here is never slower than that.
    if (endOfStream_ || unmarked_) return true;
    if (const std::optional<MediaTime> key = keyFrameAtOrBefore(time)) return *key <= decoded;
    return time - decoded <= kSeekAhead;
}

// A seek by time finds the key frame whose decoding time is at or before
// the time rounded to the file's ticks. Where pictures are reordered and no
// edit list takes the delay back (a fragmented MP4), or the time lies within
// half a tick before a key frame (a Matroska's milliseconds, an AVI's frames),
// that key frame is shown after the time: the seek then aims back by the
// reorder delay, twice as far each time, until the first frame decoded lies
// at or before the time or is the track's first. That frame waits in `ahead_`.
void VideoDecoder::seekAtOrBefore(const MediaTime& time)
{
    const int delay = std::max(codec_->has_b_frames, stream_->codecpar->video_delay);
    MediaTime back = MediaTime::fromSeconds(asset_.frameSeconds(), 90000) * (delay + 1);
    MediaTime aim = time;
    for (int tries = 0;; ++tries) {
        seek(aim);
        const AVFrame* first = decodeNext();
        if (!first) return;
        const MediaTime shown = frameTime(first);
        av_frame_move_ref(ahead_.get(), decoded_.get());
        hasAhead_ = true;
        if (shown <= time || shown <= asset_.video->timeRange.start || tries == kSeekTries) return;
        aim = minTime(aim, shown) - back;
        back = back + back;
    }
}

const AVFrame* VideoDecoder::frameAt(const MediaTime& time)
{
    target_ = time;
    const AVFrame* latest = hasAhead_ ? ahead_.get() : hasCurrent_ ? current_.get() : nullptr;
    if (!latest || (hasCurrent_ && time < frameTime(current_.get())) || !decodingReaches(time, latest))
        seekAtOrBefore(time);
    while (true) {
        if (hasAhead_) {
            if (time < frameTime(ahead_.get()) && hasCurrent_) return current_.get();
            av_frame_unref(current_.get());
            av_frame_move_ref(current_.get(), ahead_.get());
            hasCurrent_ = true;
            hasAhead_ = false;
            if (time < frameTime(current_.get())) return current_.get(); // asked for a time before the first frame
        }
        const AVFrame* frame = decodeNext();
        if (!frame) {
            if (!hasCurrent_) throw MediaError("“" + path_.string() + "” holds no video frame");
            return current_.get(); // hold the last frame at the end of the stream
        }
        av_frame_move_ref(ahead_.get(), decoded_.get());
        hasAhead_ = true;
    }
}

} // namespace zanto::media
