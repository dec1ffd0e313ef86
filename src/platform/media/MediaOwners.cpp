#include "platform/media/MediaOwners.h"

#include "platform/media/MediaError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <mutex>

namespace zanto::media {

void InputFormatDeleter::operator()(AVFormatContext* context) const
{
    avformat_close_input(&context);
}

void OutputFormatDeleter::operator()(AVFormatContext* context) const
{
    if (context->pb && !(context->oformat->flags & AVFMT_NOFILE)) avio_closep(&context->pb);
    avformat_free_context(context);
}

void CodecContextDeleter::operator()(AVCodecContext* context) const
{
    avcodec_free_context(&context);
}

void FrameDeleter::operator()(AVFrame* frame) const
{
    av_frame_free(&frame);
}

void PacketDeleter::operator()(AVPacket* packet) const
{
    av_packet_free(&packet);
}

void ScaleDeleter::operator()(SwsContext* context) const
{
    sws_freeContext(context);
}

void ResampleDeleter::operator()(SwrContext* context) const
{
    swr_free(&context);
}

void AudioFifoDeleter::operator()(AVAudioFifo* fifo) const
{
    av_audio_fifo_free(fifo);
}

void initialiseLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

FramePtr allocateFrame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame) throw MediaError("Cannot allocate a frame: " + mediaErrorText(AVERROR(ENOMEM)));
    return frame;
}

PacketPtr allocatePacket()
{
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw MediaError("Cannot allocate a packet: " + mediaErrorText(AVERROR(ENOMEM)));
    return packet;
}

} // namespace zanto::media
