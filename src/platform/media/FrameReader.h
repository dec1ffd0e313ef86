#pragma once
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"

#include <QImage>

#include <filesystem>
#include <memory>
#include <optional>

namespace zanto {

namespace media {
class VideoDecoder;
}

// One decoded picture with its presentation time from the file's start.
// `image` is opaque premultiplied BGRA (QImage::Format_ARGB32_Premultiplied)
// at the track's natural size (non-square pixels made square), or upright
// when the reader was asked for it.
struct VideoFrame {
    MediaTime time;
    QImage image;
};

enum class FrameOrientation { Natural, Upright };

// How a reader decodes: on frame threads, to read on through a movie, or on
// one thread, holding no pictures for other threads, to cut a picture beside
// work that keeps every core busy anyway.
enum class FrameDecoding { FrameThreads, OneThread };

// Reads the pictures of a movie's first video track: forward from a seek, or
// the picture on show at a given time (for players and still cuts). Owns its
// decoder; one thread at a time. Every method throws MediaError on a read or
// decode failure.
class FrameReader {
public:
    explicit FrameReader(const std::filesystem::path& path, FrameOrientation orientation = FrameOrientation::Natural,
                         FrameDecoding decoding = FrameDecoding::FrameThreads);
    ~FrameReader();
    FrameReader(FrameReader&&) noexcept;
    FrameReader& operator=(FrameReader&&) noexcept;

    const MediaAsset& asset() const;

    // Positions the reader so that `nextFrame` continues from the key frame at
    // or before `time` (frames before `time` come first).
    void seek(const MediaTime& time);
    // The next picture in presentation order; nothing at the end of the stream.
    std::optional<VideoFrame> nextFrame();
    // The picture on show at `time`: the last frame at or before it, the first
    // frame for an earlier time, and the last frame (held) past the end of the
    // stream. Reading forward in small steps decodes each frame once.
    VideoFrame frameAt(const MediaTime& time);

private:
    std::unique_ptr<media::VideoDecoder> decoder_;
    FrameOrientation orientation_;
    struct Conversion;
    std::unique_ptr<Conversion> conversion_;
};

// The picture of a movie at `time` exactly (the last frame at or before it),
// turned upright by the track's preferred transform. Throws MediaError when
// the file cannot be read, has no video, holds no frame, or `time` lies before
// zero or after the file's duration.
QImage copyStillImage(const std::filesystem::path& path, const MediaTime& time,
                      FrameDecoding decoding = FrameDecoding::FrameThreads);

// An image turned by a track's preferred transform and moved back to the
// origin; quarter turns are exact pixel moves.
QImage uprightImage(const QImage& image, const AffineTransform& preferredTransform);

} // namespace zanto
