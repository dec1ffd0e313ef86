#include "platform/media/MediaAsset.h"

#include "platform/media/MediaDataEnd.h"
#include "platform/media/MediaError.h"
#include "platform/media/MediaInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <algorithm>
#include <cmath>

namespace zanto {
namespace {

using namespace media;

AffineTransform displayTransform(const AVStream* stream)
{
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(int32_t)) return AffineTransform::identity();
    // The matrix as the file stores it: a b u / c d v / tx ty w in 16.16 fixed point.
    const int32_t* m = reinterpret_cast<const int32_t*>(data);
    auto fixed = [](int32_t v) { return double(v) / 65536.0; };
    return AffineTransform{fixed(m[0]), fixed(m[1]), fixed(m[3]), fixed(m[4]), fixed(m[6]), fixed(m[7])};
}

// A stream's range: from its first time to `end` where the file tells it
// better than FFmpeg's stream lengths (see trackEndOf), else for its length.
MediaTimeRange streamRange(const AVFormatContext* format, int index, const std::optional<MediaTime>& end)
{
    const AVStream* stream = format->streams[index];
    int64_t start = stream->start_time == AV_NOPTS_VALUE
                        ? av_rescale_q(firstPresentationTime(format), AV_TIME_BASE_Q, stream->time_base)
                        : stream->start_time;
    MediaTime startTime = streamTime(format, stream, start);
    if (end) return MediaTimeRange{startTime, maxTime(*end - startTime, MediaTime{0, startTime.timeScale})};
    int64_t length = stream->duration;
    if (length == AV_NOPTS_VALUE || length < 0) {
        int64_t whole = format->duration == AV_NOPTS_VALUE ? 0 : format->duration;
        length = av_rescale_q(whole, AV_TIME_BASE_Q, stream->time_base);
    }
    return MediaTimeRange{startTime, MediaTime{length * stream->time_base.num, stream->time_base.den}};
}

ColourMatrix colourMatrixOf(const AVCodecParameters* p)
{
    switch (p->color_space) {
    case AVCOL_SPC_BT709:
        return ColourMatrix::BT709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_FCC:
        return ColourMatrix::BT601;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return ColourMatrix::BT2020;
    default:
        // Untagged: what players assume, HD and up is 709, SD is 601.
        return p->height >= 720 || p->width >= 1280 ? ColourMatrix::BT709 : ColourMatrix::BT601;
    }
}

VideoTrackInfo videoInfo(const AVFormatContext* format, int index, const std::optional<MediaTime>& end)
{
    const AVStream* stream = format->streams[index];
    VideoTrackInfo info;
    info.streamIndex = index;
    info.width = stream->codecpar->width;
    info.height = stream->codecpar->height;
    AVRational pixelAspect =
        stream->sample_aspect_ratio.num > 0 ? stream->sample_aspect_ratio : stream->codecpar->sample_aspect_ratio;
    if (pixelAspect.num > 0 && pixelAspect.den > 0 && av_cmp_q(pixelAspect, AVRational{1, 1}) != 0)
        info.width = int(std::lround(info.width * av_q2d(pixelAspect)));
    info.preferredTransform = displayTransform(stream);
    AVRational average = stream->avg_frame_rate;
    AVRational base = stream->r_frame_rate;
    if (average.num <= 0 || average.den <= 0) average = base;
    if (average.num > 0 && average.den > 0) {
        info.nominalFrameRate = av_q2d(average);
        info.frameDuration = MediaTime{average.den, average.num};
        info.constantFrameRate = base.num > 0 && std::abs(av_q2d(base) - av_q2d(average)) < 0.01 * av_q2d(average);
    }
    info.timeRange = streamRange(format, index, end);
    info.colourMatrix = colourMatrixOf(stream->codecpar);
    info.codecName = avcodec_get_name(stream->codecpar->codec_id);
    return info;
}

AudioTrackInfo audioInfo(const AVFormatContext* format, int index, const std::optional<MediaTime>& end)
{
    const AVStream* stream = format->streams[index];
    AudioTrackInfo info;
    info.streamIndex = index;
    info.sampleRate = stream->codecpar->sample_rate;
    info.channels = stream->codecpar->ch_layout.nb_channels;
    info.codecName = avcodec_get_name(stream->codecpar->codec_id);
    info.timeRange = streamRange(format, index, end);
    return info;
}

std::optional<MediaTimecode> timecodeOf(const AVFormatContext* format, int videoIndex)
{
    const AVDictionaryEntry* tag = nullptr;
    const AVStream* track = nullptr;
    for (unsigned i = 0; i < format->nb_streams && !tag; ++i) {
        const AVStream* s = format->streams[i];
        if (s->codecpar->codec_tag == MKTAG('t', 'm', 'c', 'd') || s->codecpar->codec_type == AVMEDIA_TYPE_DATA) {
            tag = av_dict_get(s->metadata, "timecode", nullptr, 0);
            track = tag ? s : nullptr;
        }
    }
    if (!tag && videoIndex >= 0) tag = av_dict_get(format->streams[videoIndex]->metadata, "timecode", nullptr, 0);
    if (!tag) tag = av_dict_get(format->metadata, "timecode", nullptr, 0);
    if (!tag) return std::nullopt;
    MediaTimecode timecode;
    timecode.text = tag->value;
    timecode.dropFrame = timecode.text.find(';') != std::string::npos;
    AVRational rate = track ? track->avg_frame_rate : AVRational{0, 1};
    if (rate.num <= 0 && videoIndex >= 0) rate = format->streams[videoIndex]->avg_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        timecode.frameDuration = MediaTime{rate.den, rate.num};
        timecode.framesPerSecond = int(std::lround(av_q2d(rate)));
    }
    return timecode;
}

MediaTime assetDuration(const AVFormatContext* format)
{
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0) return MediaTime{format->duration, AV_TIME_BASE};
    MediaTime longest{0, 1};
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* s = format->streams[i];
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
            longest = maxTime(longest, MediaTime{s->duration * s->time_base.num, s->time_base.den});
    }
    return longest;
}

// A transport or program stream keeps no index: FFmpeg finds a time there
// by a search over the file's bytes, which lands on a key frame after it.
bool seeksWithoutIndex(const AVFormatContext* format)
{
    return format->duration_estimation_method == AVFMT_DURATION_FROM_PTS;
}

// The longest stretch between key frames of the video track read from the
// file's start: three key frames, or the first 16 MiB of the file, whichever
// comes first (a stretch with no key frame to end it counts whole). Packets
// only, nothing is decoded. Leaves `format` read on.
MediaTime keyFrameIntervalOf(AVFormatContext* format, int videoIndex)
{
    const AVStream* stream = format->streams[videoIndex];
    constexpr int64_t budget = 16 << 20;
    const int64_t from = avio_tell(format->pb);
    PacketPtr packet = allocatePacket();
    int64_t lastKey = AV_NOPTS_VALUE, latest = AV_NOPTS_VALUE, longest = 0;
    int keys = 0;
    while (keys < 3 && avio_tell(format->pb) - from < budget && av_read_frame(format, packet.get()) >= 0) {
        const int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (packet->stream_index == videoIndex && at != AV_NOPTS_VALUE) {
            if (packet->flags & AV_PKT_FLAG_KEY) {
                if (lastKey != AV_NOPTS_VALUE) longest = std::max(longest, at - lastKey);
                lastKey = at;
                ++keys;
            }
            latest = latest == AV_NOPTS_VALUE ? at : std::max(latest, at);
        }
        av_packet_unref(packet.get());
    }
    if (keys < 3 && lastKey != AV_NOPTS_VALUE) longest = std::max(longest, latest - lastKey);
    const AVRational frame = av_inv_q(stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : AVRational{25, 1});
    return MediaTime{longest * stream->time_base.num, stream->time_base.den} + MediaTime{frame.num, frame.den};
}

// Where stream `index` ends when the file tells it better than FFmpeg's
// stream lengths: a Matroska or WebM file measured from its tail gives each
// stream its last packet's end (the whole length to one with none read); one
// that states its length, each track's end as matroskaTrackEnds finds it.
std::optional<MediaTime> trackEndOf(int index, const std::optional<MeasuredLength>& measured,
                                    const std::vector<std::optional<MediaTime>>& trackEnds)
{
    if (index < 0) return std::nullopt;
    if (measured) return measured->streamEnds[size_t(index)].value_or(measured->duration);
    return size_t(index) < trackEnds.size() ? trackEnds[size_t(index)] : std::nullopt;
}

} // namespace

MediaAsset MediaAsset::load(const std::filesystem::path& path)
{
    InputFormatPtr format = openInput(path);
    const int videoIndex = firstStream(format.get(), AVMEDIA_TYPE_VIDEO);
    const int audioIndex = firstStream(format.get(), AVMEDIA_TYPE_AUDIO);
    // FFmpeg opens more than movies: a lyrics or subtitle file, or a container
    // with only data tracks, has nothing to show or hear.
    if (videoIndex < 0 && audioIndex < 0)
        throw MediaError("Cannot open “" + path.string() + "”: " + mediaErrorText(AVERROR_STREAM_NOT_FOUND),
                         AVERROR_STREAM_NOT_FOUND);
    // A Matroska or WebM recording written live states no length: it is
    // measured from its tail, and its data then runs out nowhere before it.
    const std::optional<MeasuredLength> measured = measuredLengthOf(path, format.get());
    const std::vector<std::optional<MediaTime>> trackEnds =
        measured ? std::vector<std::optional<MediaTime>>{} : matroskaTrackEnds(path, format.get());
    MediaAsset asset;
    asset.path = path;
    asset.duration = measured ? measured->duration : assetDuration(format.get());
    if (videoIndex >= 0) asset.video = videoInfo(format.get(), videoIndex, trackEndOf(videoIndex, measured, trackEnds));
    for (unsigned i = 0; i < format->nb_streams; ++i)
        asset.audioTrackCount += format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    if (audioIndex >= 0) asset.audio = audioInfo(format.get(), audioIndex, trackEndOf(audioIndex, measured, trackEnds));
    asset.startTimecode = timecodeOf(format.get(), videoIndex);
    if (!measured) asset.dataEnd = dataEndOf(path, format.get(), videoIndex >= 0 ? videoIndex : audioIndex);
    asset.firstPresentationTime = MediaTime{media::firstPresentationTime(format.get()), AV_TIME_BASE};
    if (videoIndex >= 0 && seeksWithoutIndex(format.get()))
        asset.seekPreroll = keyFrameIntervalOf(format.get(), videoIndex);
    return asset;
}

} // namespace zanto
