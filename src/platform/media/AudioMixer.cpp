#include "platform/media/AudioMixer.h"

#include "platform/media/Composition.h"
#include "platform/media/ExportQuality.h"
#include "platform/media/MediaError.h"
#include "platform/media/MediaInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace zanto::media {
namespace {

constexpr int kRate = ExportQuality::audioSampleRate;
// Time stamps further than this from where the sound has got to mark a jump
// in the track (20 ms: rounding and resampler slack stay well below it).
constexpr int64_t kJumpSamples = kRate / 50;
constexpr int64_t kNoPosition = INT64_MIN;
// Unreadable packets in a row after which the track has ended (all of them
// at its end) or cannot be read on; a damaged stretch is far shorter.
constexpr int kUnreadableInARow = 1024;

int64_t toSamples(const MediaTime& time)
{
    return time.convertScale(kRate).value;
}

} // namespace

struct AudioMixer::Source {
    CompositionInsert insert;
    int64_t outputStart = 0; // output samples this insert covers: [outputStart, outputEnd)
    int64_t outputEnd = 0;
    InputFormatPtr format;
    CodecContextPtr codec;
    AVStream* stream = nullptr;
    ResamplePtr resample;
    AudioFifoPtr fifo;
    PacketPtr packet;
    FramePtr frame;
    int64_t cursor = -1; // output sample of the fifo's first sample; -1 before the first frame
    int64_t heard = 0;   // output samples before this one have been handed out
    bool drained = false;
    bool done = false;
    int unreadable = 0; // packets in a row that could not be read

    void open();
    bool decodeMore();
    int64_t positionOf(const AVFrame* decoded) const;
    void store(const AVFrame* decoded);
    void mixInto(int64_t first, int count, float* left, float* right);
    void handOut(int64_t first, int64_t want, float* left, float* right);
    void close();
};

void AudioMixer::Source::open()
{
    std::string name = insert.assetPath.string();
    format = openInput(insert.assetPath);
    int index = firstStream(format.get(), AVMEDIA_TYPE_AUDIO);
    if (index < 0) throw MediaError("“" + name + "” has no audio track");
    stream = format->streams[index];
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        throw MediaError("Cannot decode the audio of “" + name + "”: " + mediaErrorText(AVERROR_DECODER_NOT_FOUND));
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec) throw MediaError("Cannot decode the audio of “" + name + "”: " + mediaErrorText(AVERROR(ENOMEM)));
    checkMedia(avcodec_parameters_to_context(codec.get(), stream->codecpar),
               "Cannot decode the audio of “" + name + "”");
    codec->pkt_timebase = stream->time_base;
    checkMedia(avcodec_open2(codec.get(), decoder, nullptr), "Cannot decode the audio of “" + name + "”");
    if (codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&codec->ch_layout, codec->ch_layout.nb_channels);
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, ExportQuality::audioChannels);
    SwrContext* raw = nullptr;
    checkMedia(swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_FLTP, kRate, &codec->ch_layout, codec->sample_fmt,
                                   codec->sample_rate, 0, nullptr),
               "Cannot resample the audio of “" + name + "”");
    resample.reset(raw);
    if (codec->ch_layout.nb_channels == 1) {
        // A mono track plays at full level on both sides, not 3 dB down as a
        // centre channel would.
        const double both[2] = {1.0, 1.0};
        checkMedia(swr_set_matrix(resample.get(), both, 1), "Cannot resample the audio of “" + name + "”");
    }
    checkMedia(swr_init(resample.get()), "Cannot resample the audio of “" + name + "”");
    fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, kRate));
    packet = allocatePacket();
    frame = allocateFrame();
    if (!fifo) throw MediaError("Cannot buffer audio: " + mediaErrorText(AVERROR(ENOMEM)));
    av_seek_frame(format.get(), stream->index, streamTimestamp(format.get(), stream, insert.sourceRange.start),
                  AVSEEK_FLAG_BACKWARD);
}

// The output sample where a decoded frame's sound belongs; kNoPosition when
// the frame carries no time stamp.
int64_t AudioMixer::Source::positionOf(const AVFrame* decoded) const
{
    int64_t stamp = decoded->best_effort_timestamp != AV_NOPTS_VALUE ? decoded->best_effort_timestamp : decoded->pts;
    if (stamp == AV_NOPTS_VALUE) return kNoPosition;
    return outputStart + toSamples(streamTime(format.get(), stream, stamp) - insert.sourceRange.start);
}

void AudioMixer::Source::store(const AVFrame* decoded)
{
    // Samples the resampler still holds come out ahead of this frame's own.
    const int64_t held = swr_get_delay(resample.get(), kRate);
    int room = swr_get_out_samples(resample.get(), decoded->nb_samples);
    std::vector<float> left(size_t(std::max(room, 0))), right(size_t(std::max(room, 0)));
    uint8_t* out[2] = {reinterpret_cast<uint8_t*>(left.data()), reinterpret_cast<uint8_t*>(right.data())};
    int made = checkMedia(swr_convert(resample.get(), out, room, const_cast<const uint8_t**>(decoded->extended_data),
                                      decoded->nb_samples),
                          "Cannot resample the audio of “" + insert.assetPath.string() + "”");
    // The sound follows its time stamps: a jump (a gap in the track, or a
    // stretch sent twice) moves the cursor instead of shifting what follows.
    // The fifo is empty here, as mixInto hands out all it holds before decoding more.
    int64_t at = positionOf(decoded);
    if (at != kNoPosition && (cursor < 0 || std::abs(at - held - cursor) > kJumpSamples))
        cursor = at - held;
    else if (cursor < 0)
        cursor = outputStart;
    void* planes[2] = {left.data(), right.data()};
    if (made > 0 && av_audio_fifo_write(fifo.get(), planes, made) < made)
        throw MediaError("Cannot buffer audio: " + mediaErrorText(AVERROR(ENOMEM)));
}

// Decodes until at least one more frame is stored; false at the end of the track.
bool AudioMixer::Source::decodeMore()
{
    while (true) {
        int status = avcodec_receive_frame(codec.get(), frame.get());
        if (status >= 0) {
            store(frame.get());
            av_frame_unref(frame.get());
            return true;
        }
        if (status == AVERROR_EOF) return false;
        // A packet that does not decode is skipped, as players do.
        if (status != AVERROR(EAGAIN) && status != AVERROR_INVALIDDATA)
            checkMedia(status, "Cannot decode the audio of “" + insert.assetPath.string() + "”");
        if (drained) return false;
        status = av_read_frame(format.get(), packet.get());
        // A packet that cannot be read is skipped as the video path skips one
        // that does not decode, and the rest of the track still plays: a
        // damaged index entry reads as the end of the file for that packet
        // alone. The end of the track is where reading stays at the end; a
        // track that keeps failing otherwise cannot be read on.
        if (status < 0 && ++unreadable < kUnreadableInARow) continue;
        if (status == AVERROR_EOF) {
            drained = true;
            avcodec_send_packet(codec.get(), nullptr);
            continue;
        }
        checkMedia(status, "Cannot read the audio of “" + insert.assetPath.string() + "”");
        unreadable = 0;
        if (packet->stream_index == stream->index) {
            status = avcodec_send_packet(codec.get(), packet.get());
            if (status < 0 && status != AVERROR(EAGAIN) && status != AVERROR_INVALIDDATA)
                checkMedia(status, "Cannot decode the audio of “" + insert.assetPath.string() + "”");
        }
        av_packet_unref(packet.get());
    }
}

void AudioMixer::Source::mixInto(int64_t first, int count, float* left, float* right)
{
    const int64_t want = std::min(first + count, outputEnd);
    while (true) {
        handOut(first, want, left, right);
        if (cursor >= want || !decodeMore()) return;
    }
}

// Adds the fifo's samples that fall in [first, want) into the buffers; those
// before the insert's range, or already heard, are dropped.
void AudioMixer::Source::handOut(int64_t first, int64_t want, float* left, float* right)
{
    int available = av_audio_fifo_size(fifo.get());
    if (cursor < 0 || available == 0) return;
    int64_t from = std::max({first, outputStart, heard});
    if (cursor < from) {
        int drop = int(std::min<int64_t>(from - cursor, available));
        av_audio_fifo_drain(fifo.get(), drop);
        cursor += drop;
        available -= drop;
    }
    int n = int(std::max<int64_t>(0, std::min<int64_t>(want - cursor, available)));
    if (n == 0) return;
    std::vector<float> l(static_cast<size_t>(n));
    std::vector<float> r(static_cast<size_t>(n));
    void* planes[2] = {l.data(), r.data()};
    av_audio_fifo_read(fifo.get(), planes, n);
    size_t offset = size_t(cursor - first);
    for (size_t i = 0; i < size_t(n); ++i) {
        left[offset + i] += l[i];
        right[offset + i] += r[i];
    }
    cursor += n;
    heard = cursor;
}

void AudioMixer::Source::close()
{
    fifo.reset();
    resample.reset();
    codec.reset();
    format.reset();
    done = true;
}

AudioMixer::AudioMixer(const std::vector<CompositionInsert>& inserts)
{
    for (const CompositionInsert& insert : inserts) {
        auto source = std::make_unique<Source>();
        source->insert = insert;
        source->outputStart = toSamples(insert.outputTime);
        source->outputEnd = toSamples(insert.outputTime + insert.sourceRange.duration);
        if (source->outputEnd > source->outputStart) sources_.push_back(std::move(source));
    }
}

AudioMixer::~AudioMixer() = default;

void AudioMixer::mix(int64_t first, int count, float* left, float* right)
{
    for (auto& source : sources_) {
        if (source->done || source->outputStart >= first + count) continue;
        if (source->outputEnd <= first) {
            source->close(); // passed: its file and decoder go
            continue;
        }
        if (!source->format) source->open();
        source->mixInto(first, count, left, right);
    }
}

} // namespace zanto::media
