#include "platform/media/KeyFrameAim.h"

#include "platform/media/MediaError.h"
#include "platform/media/MediaInput.h"

extern "C" {
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

// The time of the first key frame of `stream` read on from where a seek
// landed; none to the end of the file.
std::optional<MediaTime> nextKeyFrame(AVFormatContext* format, AVStream* stream)
{
    PacketPtr packet = allocatePacket();
    while (av_read_frame(format, packet.get()) >= 0) {
        const bool key =
            packet->stream_index == stream->index && (packet->flags & AV_PKT_FLAG_KEY) && packet->pts != AV_NOPTS_VALUE;
        const int64_t pts = packet->pts;
        av_packet_unref(packet.get());
        if (key) return streamTime(format, stream, pts);
    }
    return std::nullopt;
}

} // namespace

MediaTime seekToKeyFrameBefore(AVFormatContext* format, AVStream* stream, const MediaAsset& asset,
                               const MediaTime& time)
{
    MediaTime preroll = asset.seekPreroll;
    if (preroll.value <= 0) {
        seekStream(format, stream, time);
        return preroll;
    }
    const MediaTime first = asset.video ? asset.video->timeRange.start : MediaTime{0, 1};
    // The search over the bytes lands on the same place for the same aim.
    while (time - preroll > first) {
        seekStream(format, stream, time - preroll);
        // None to the end: the last key frame lies further back too.
        if (const std::optional<MediaTime> key = nextKeyFrame(format, stream); key && *key <= time) {
            seekStream(format, stream, time - preroll);
            return preroll;
        }
        preroll = preroll + preroll;
    }
    av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
    return time - first + preroll;
}

KeyFrameAim::KeyFrameAim(MediaAsset asset) : asset_(std::move(asset)) { }

KeyFrameAim::~KeyFrameAim() = default;

MediaTime KeyFrameAim::prerollFor(const MediaTime& time)
{
    if (asset_.seekPreroll.value <= 0 || !asset_.video) return asset_.seekPreroll;
    if (!format_ && !failed_) {
        try {
            format_ = openInput(asset_.path);
            for (unsigned i = 0; i < format_->nb_streams; ++i)
                format_->streams[i]->discard = int(i) == asset_.video->streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        } catch (const MediaError&) {
            failed_ = true;
        }
    }
    if (!format_) return asset_.seekPreroll;
    return seekToKeyFrameBefore(format_.get(), format_->streams[asset_.video->streamIndex], asset_, time);
}

} // namespace zanto::media
