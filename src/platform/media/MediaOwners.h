#pragma once
// Owners for FFmpeg objects, for use inside the media layer. The FFmpeg types
// are only declared here; the deleters call the library's own free functions.
#include <memory>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;
struct AVAudioFifo;

namespace zanto::media {

struct InputFormatDeleter {
    void operator()(AVFormatContext* context) const;
};
struct OutputFormatDeleter {
    void operator()(AVFormatContext* context) const;
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const;
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const;
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const;
};
struct ScaleDeleter {
    void operator()(SwsContext* context) const;
};
struct ResampleDeleter {
    void operator()(SwrContext* context) const;
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* fifo) const;
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleDeleter>;
using ResamplePtr = std::unique_ptr<SwrContext, ResampleDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

// Sets FFmpeg up once for the process: its log keeps to errors (the program
// keeps no log; failures reach callers as MediaError). Any thread.
void initialiseLibraries();

// A new frame / packet; throws MediaError when memory runs out.
FramePtr allocateFrame();
PacketPtr allocatePacket();

} // namespace zanto::media
