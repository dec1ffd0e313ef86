#include "platform/media/MovieEncoder.h"

#include "platform/media/ExportQuality.h"
#include "platform/media/MediaError.h"
#include "platform/media/MediaInput.h"
#include "platform/media/StandingBack.h"

#include <sched.h>

#include <algorithm>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
}

namespace zanto::media {
namespace {

// A fresh context for the named encoder; throws when the encoder is missing.
CodecContextPtr newEncoder(const char* name)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        throw MediaError(std::string("The encoder ") + name
                         + " is not available: " + mediaErrorText(AVERROR_ENCODER_NOT_FOUND));
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        throw MediaError(std::string("Cannot set up the encoder ") + name + ": " + mediaErrorText(AVERROR(ENOMEM)));
    return context;
}

AVStream* newStream(AVFormatContext* format, const AVCodecContext* codec)
{
    AVStream* stream = avformat_new_stream(format, nullptr);
    if (!stream) throw MediaError("Cannot add a stream: " + mediaErrorText(AVERROR(ENOMEM)));
    stream->time_base = codec->time_base;
    checkMedia(avcodec_parameters_from_context(stream->codecpar, codec), "Cannot add a stream");
    return stream;
}

// The cores this process may run on (a `taskset` narrows them).
int usableCores()
{
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) return std::max(1, CPU_COUNT(&cores));
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

// Frame threads of an intermediate's encoder. Intermediates are still movies
// written beside an export under way: with a thread for every core, each
// held some ten megabytes more and came no sooner.
constexpr int kIntermediateThreads = 2;

} // namespace

MovieEncoder::MovieEncoder(const std::filesystem::path& path, const EncoderSetup& setup)
    : path_(path), setup_(setup), videoPacket_(allocatePacket()), audioPacket_(allocatePacket())
{
    initialiseLibraries();
    std::string name = path.string();
    AVFormatContext* raw = nullptr;
    const char* formatName = setup.container == MovieContainer::MP4 ? "mp4" : "mov";
    checkMedia(avformat_alloc_output_context2(&raw, nullptr, formatName, fileUrl(path).c_str()),
               "Cannot write “" + name + "”");
    format_.reset(raw);
    openVideo();
    if (setup.audio) openAudio();
    checkMedia(avio_open(&format_->pb, fileUrl(path).c_str(), AVIO_FLAG_WRITE), "Cannot write “" + name + "”");
    AVDictionary* options = nullptr;
    if (ExportQuality::fastStart) av_dict_set(&options, "movflags", "+faststart", 0);
    int status = avformat_write_header(format_.get(), &options);
    av_dict_free(&options);
    checkMedia(status, "Cannot write “" + name + "”");
    headerWritten_ = true;
}

void MovieEncoder::openVideo()
{
    video_ = newEncoder(ExportQuality::videoEncoder);
    AVCodecContext* c = video_.get();
    c->width = setup_.width;
    c->height = setup_.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, setup_.timeScale};
    c->framerate = AVRational{setup_.frameDuration.timeScale, int(setup_.frameDuration.value)};
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_BT709;
    c->colorspace = AVCOL_SPC_BT709;
    c->color_range = AVCOL_RANGE_MPEG;
    // One frame thread for every core this process may use: with fewer, the
    // encoder left cores idle whenever the decoder waited; libx264's own
    // choice (one and a half a core) holds some forty megabytes more for no
    // more speed. The lookahead runs on two threads of its own. Its frames
    // are handed over as many ahead of the encoding threads as libx264
    // chooses: kept to one, the frame threads waited on it, some 10% of an
    // export's time, for ten megabytes.
    c->thread_count = setup_.intermediate ? kIntermediateThreads : usableCores();
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    using namespace ExportQuality;
    av_opt_set(c->priv_data, "preset", setup_.intermediate ? intermediatePreset : preset, 0);
    av_opt_set(c->priv_data, "profile", videoProfile, 0);
    av_opt_set_double(c->priv_data, "crf", setup_.intermediate ? intermediateConstantRateFactor : constantRateFactor,
                      0);
    av_opt_set(c->priv_data, "x264-params", "lookahead-threads=2", 0);
    // Its frame and lookahead threads start where they stand back.
    startStandingBack(kEncoderStandsBack,
                      [c] { checkMedia(avcodec_open2(c, c->codec, nullptr), "Cannot open the video encoder"); });
    videoStream_ = newStream(format_.get(), c);
    videoStream_->avg_frame_rate = c->framerate;
}

void MovieEncoder::openAudio()
{
    audio_ = newEncoder(ExportQuality::audioEncoder);
    AVCodecContext* c = audio_.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = ExportQuality::audioSampleRate;
    c->bit_rate = ExportQuality::audioBitRate;
    av_channel_layout_default(&c->ch_layout, ExportQuality::audioChannels);
    c->time_base = AVRational{1, c->sample_rate};
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    checkMedia(avcodec_open2(c, c->codec, nullptr), "Cannot open the audio encoder");
    audioStream_ = newStream(format_.get(), c);
    fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, c->frame_size * 4));
    if (!fifo_) throw MediaError("Cannot set up the audio encoder: " + mediaErrorText(AVERROR(ENOMEM)));
}

// Sends one frame (nullptr flushes) and writes every packet that comes out.
void MovieEncoder::encode(AVCodecContext* codec, AVStream* stream, AVPacket* packet, AVFrame* frame)
{
    checkMedia(avcodec_send_frame(codec, frame), "Cannot encode “" + path_.string() + "”");
    while (true) {
        int status = avcodec_receive_packet(codec, packet);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return;
        checkMedia(status, "Cannot encode “" + path_.string() + "”");
        if (codec == video_.get())
            packet->duration = av_rescale_q(setup_.frameDuration.value, AVRational{1, setup_.frameDuration.timeScale},
                                            codec->time_base);
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        {
            std::lock_guard lock(muxing_);
            status = av_interleaved_write_frame(format_.get(), packet);
        }
        av_packet_unref(packet);
        checkMedia(status, "Cannot write “" + path_.string() + "”");
    }
}

void MovieEncoder::writeVideo(AVFrame* frame, int64_t pts)
{
    frame->pts = pts;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    encode(video_.get(), videoStream_, videoPacket_.get(), frame);
}

void MovieEncoder::writeAudio(const float* left, const float* right, int count)
{
    if (!audio_) throw MediaError("“" + path_.string() + "” was set up without audio");
    void* planes[2] = {const_cast<float*>(left), const_cast<float*>(right)};
    if (av_audio_fifo_write(fifo_.get(), planes, count) < count)
        throw MediaError("Cannot buffer audio: " + mediaErrorText(AVERROR(ENOMEM)));
    audioSamples_ += count;
    encodeAudioFrames(false);
}

void MovieEncoder::encodeAudioFrames(bool flushAll)
{
    int frameSize = audio_->frame_size;
    while (av_audio_fifo_size(fifo_.get()) >= frameSize || (flushAll && av_audio_fifo_size(fifo_.get()) > 0)) {
        int count = std::min(frameSize, av_audio_fifo_size(fifo_.get()));
        FramePtr frame = allocateFrame();
        frame->nb_samples = count;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = audio_->sample_rate;
        checkMedia(av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout), "Cannot encode audio");
        checkMedia(av_frame_get_buffer(frame.get(), 0), "Cannot encode audio");
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), count);
        frame->pts = audioPts_;
        audioPts_ += count;
        encode(audio_.get(), audioStream_, audioPacket_.get(), frame.get());
    }
}

void MovieEncoder::finish()
{
    encode(video_.get(), videoStream_, videoPacket_.get(), nullptr);
    if (audio_) {
        encodeAudioFrames(true);
        encode(audio_.get(), audioStream_, audioPacket_.get(), nullptr);
    }
    checkMedia(av_write_trailer(format_.get()), "Cannot finish “" + path_.string() + "”");
    checkMedia(avio_closep(&format_->pb), "Cannot finish “" + path_.string() + "”");
}

} // namespace zanto::media
