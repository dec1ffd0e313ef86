#pragma once
// Encoding and muxing one movie with the export quality settings: an H.264
// video stream and optionally an AAC stream. Inside the media layer only. The
// video calls and the audio calls may come from two threads at once (the two
// encoders are apart, the muxer is shared under a lock); each side keeps to
// one thread, and finish() comes after both. libx264 runs its own threads.
#include "platform/media/MediaOwners.h"
#include "platform/media/MovieContainer.h"
#include "platform/media/MediaTime.h"

#include <filesystem>
#include <mutex>

struct AVStream;

namespace zanto::media {

struct EncoderSetup {
    int width = 1280;
    int height = 720;
    MediaTime frameDuration{1, 30}; // nominal; every frame lasts this long in the file
    int timeScale = 30;             // of the video time stamps given to writeVideo
    MovieContainer container = MovieContainer::MP4;
    bool audio = false;
    bool intermediate = false; // encoded with the intermediate settings
};

class MovieEncoder {
public:
    // Creates the file and writes its header. Throws MediaError.
    MovieEncoder(const std::filesystem::path& path, const EncoderSetup& setup);

    const EncoderSetup& setup() const { return setup_; }
    // A yuv420p frame of the set size at `pts` (in 1/timeScale); the encoder
    // keeps a reference, so the caller must not write into it afterwards.
    void writeVideo(AVFrame* frame, int64_t pts);
    // Planar float samples at 48 kHz appended after those before.
    void writeAudio(const float* left, const float* right, int count);
    int64_t audioSamplesWritten() const { return audioSamples_; }
    // Flushes both encoders and writes the trailer (and moves the index to
    // the front). The file is complete when this returns.
    void finish();

private:
    void openVideo();
    void openAudio();
    void encode(AVCodecContext* codec, AVStream* stream, AVPacket* packet, AVFrame* frame);
    void encodeAudioFrames(bool flushAll);

    std::filesystem::path path_;
    EncoderSetup setup_;
    OutputFormatPtr format_;
    CodecContextPtr video_;
    CodecContextPtr audio_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AudioFifoPtr fifo_;
    PacketPtr videoPacket_;
    PacketPtr audioPacket_;
    std::mutex muxing_; // guards format_'s writes once the header is written
    int64_t audioSamples_ = 0;
    int64_t audioPts_ = 0;
    bool headerWritten_ = false;
};

} // namespace zanto::media
