#include "platform/media/MediaInput.h"

#include "platform/media/MediaError.h"

#include <string_view>

extern "C" {
#include <libavformat/avformat.h>
}

namespace zanto::media {

std::string fileUrl(const std::filesystem::path& path)
{
    std::error_code failed;
    std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    return (failed ? path : absolute).string();
}

InputFormatPtr openInput(const std::filesystem::path& path, const std::atomic<bool>* cancel)
{
    initialiseLibraries();
    std::string name = path.string();
    if (!std::filesystem::is_regular_file(path))
        throw MediaError("Cannot open “" + name + "”: " + mediaErrorText(AVERROR(ENOENT)), AVERROR(ENOENT));
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) throw MediaError("Cannot open “" + name + "”: " + mediaErrorText(AVERROR(ENOMEM)), AVERROR(ENOMEM));
    // FFmpeg asks between its reads, and ends what it is doing with AVERROR_EXIT.
    if (cancel)
        raw->interrupt_callback = {[](void* flag) { return int(static_cast<const std::atomic<bool>*>(flag)->load()); },
                                   const_cast<std::atomic<bool>*>(cancel)};
    int status = avformat_open_input(&raw, fileUrl(path).c_str(), nullptr, nullptr);
    // avformat_open_input frees the context itself on failure.
    checkMedia(status, "Cannot open “" + name + "”");
    InputFormatPtr format(raw);
    checkMedia(avformat_find_stream_info(format.get(), nullptr), "Cannot read the streams of “" + name + "”");
    return format;
}

int64_t firstPresentationTime(const AVFormatContext* format)
{
    // An MP4 or MOV movie has a timeline of its own from zero: its duration
    // is measured from there, and pictures that start later (an empty edit)
    // start later on it, as players show them.
    if (std::string_view(format->iformat->name).starts_with("mov,")) return 0;
    return format->start_time == AV_NOPTS_VALUE ? 0 : format->start_time;
}

MediaTime streamTime(const AVFormatContext* format, const AVStream* stream, int64_t timestamp)
{
    AVRational base = stream->time_base;
    int64_t first = av_rescale_q(firstPresentationTime(format), AV_TIME_BASE_Q, base);
    return MediaTime{(timestamp - first) * base.num, base.den};
}

int64_t streamTimestamp(const AVFormatContext* format, const AVStream* stream, const MediaTime& time)
{
    AVRational base = stream->time_base;
    int64_t first = av_rescale_q(firstPresentationTime(format), AV_TIME_BASE_Q, base);
    return first
           + av_rescale_q_rnd(time.value, AVRational{1, time.timeScale}, base,
                              AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

int firstStream(const AVFormatContext* format, int mediaType)
{
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type != mediaType) continue;
        if (mediaType == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
        return int(i);
    }
    return -1;
}

} // namespace zanto::media
