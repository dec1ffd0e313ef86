#pragma once
// Decoding the first video track of a file, frame by frame, inside the media
// layer. One thread at a time; FFmpeg runs its own decoding threads.
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaOwners.h"
#include "platform/media/MediaTime.h"

#include <filesystem>
#include <optional>
#include <vector>

struct AVPacket;
struct AVStream;

namespace zanto::media {

class VideoDecoder {
public:
    // Opens the file's first video track. Throws MediaError when the file
    // cannot be read or has no video track.
    // `frameThreads`: the decoding threads, each holding pictures of its
    // own; very large pictures get fewer.
    explicit VideoDecoder(const std::filesystem::path& path, int frameThreads = kFrameThreads);
    // The same for a file already probed (`asset` is what MediaAsset::load
    // read of it), so the file is not probed twice. The decoding threads
    // stand back `standsBack` steps of niceness from the caller's.
    explicit VideoDecoder(MediaAsset asset, int standsBack = 0, int frameThreads = kFrameThreads);

    // Three decoders run at once in an export (the item being exported and
    // the two next ones being prepared), so two each keep HD decoding ahead
    // of the encoder within the export's memory (one would leave the
    // decoding of each frame in line with its placing).
    static constexpr int kFrameThreads = 2;

    const MediaAsset& asset() const { return asset_; }
    const VideoTrackInfo& video() const { return *asset_.video; }

    // Goes back to the key frame at or before `time`; the next frames decoded
    // lead up to it.
    void seek(const MediaTime& time);
    // The next frame in presentation order; nullptr at the end of the stream.
    // The frame stays owned by the decoder and valid until the next call.
    // After it, frameAt starts afresh with a seek. Frames before `wantedFrom`
    // that no later frame refers to may be skipped undecoded.
    const AVFrame* next(const std::optional<MediaTime>& wantedFrom = std::nullopt);
    // The picture shown at `time`: the last frame at or before it (the first
    // frame for an earlier time), the last frame past the end of the stream.
    // Moves forward by decoding and seeks only when `time` goes back or lies
    // past a key frame not decoded yet. Throws MediaError when the track holds no frame at all.
    const AVFrame* frameAt(const MediaTime& time);
    // The time of the key frame a seek to `time` lands on, when the file's
    // index tells; nothing when it does not.
    std::optional<MediaTime> keyFrameAtOrBefore(const MediaTime& time) const;
    // The times of the key frames the file's index holds, in order; empty
    // when it holds none.
    std::vector<MediaTime> keyFrameTimes() const;
    // Whether frameAt(time) held the last frame further than 0.04 s past the
    // end of its showing where the pictures should go on: the file's data
    // ends before the time asked for (the probe found where, or the pictures
    // stop short of the track's end). Held past the track's own end, in the
    // sound-only tail of a good file, it is not.
    bool heldTooLong(const MediaTime& time) const;
    // A decoded frame's presentation time from the file's start.
    MediaTime frameTime(const AVFrame* frame) const;

private:
    bool decodingReaches(const MediaTime& time, const AVFrame* latest) const;
    void seekAtOrBefore(const MediaTime& time);
    bool receive();
    bool hiddenBeforeTarget(const AVPacket* packet);
    const AVFrame* decodeNext();
    void forgetHeldFrames();

    std::filesystem::path path_;
    MediaAsset asset_;
    InputFormatPtr format_;
    CodecContextPtr codec_;
    AVStream* stream_ = nullptr;
    PacketPtr packet_;
    FramePtr decoded_; // the frame `next` returns
    FramePtr current_; // frameAt: the frame on show
    FramePtr ahead_;   // frameAt: the first frame after the time asked for
    bool hasCurrent_ = false;
    bool hasAhead_ = false;
    bool endOfStream_ = false;
    bool draining_ = false;
    // The last seek found no key frame at or before its time within bounds
    // and decodes from the file's first byte.
    bool unmarked_ = false;
    // frameAt: the time asked for, and the latest packet at or before it since
    // the last seek. Frames before that packet that no other frame refers to
    // are never on show, so the decoder is told to skip them.
    std::optional<MediaTime> target_;
    std::optional<MediaTime> latestBefore_;
};

} // namespace zanto::media
