#pragma once
// Seeking in a movie whose container keeps no index (a transport or program
// stream): FFmpeg finds a time there by a search over the file's bytes, which
// lands on the first key frame after where it aims. Where to aim so that it
// lands on a key frame at or before a time, told the same way to the
// export's decoder and to the preview's player, so that both decode forward
// to the same frame.
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaOwners.h"
#include "platform/media/MediaTime.h"

struct AVStream;

namespace zanto::media {

// Seeks `format` (its stream `stream` being the video track of `asset`) so
// that the next packets of the stream lead from a key frame at or before
// `time` up to it, and returns how far before `time` it aimed: from the
// asset's seek preroll, doubled until the first key frame read on from the
// aim lies at or before `time`, or until the aim reaches the stream's start
// (then the seek goes to the file's first byte, as a search for a time
// before the first packet overshoots). Zero where the container's own index
// finds the key frame. Reads packets, decodes nothing.
MediaTime seekToKeyFrameBefore(AVFormatContext* format, AVStream* stream, const MediaAsset& asset,
                               const MediaTime& time);

// The same for a player, on a reader of its own of the movie's file, opened
// at the first time asked. Not copyable; one thread at a time.
class KeyFrameAim {
public:
    explicit KeyFrameAim(MediaAsset asset);
    ~KeyFrameAim();
    KeyFrameAim(const KeyFrameAim&) = delete;
    KeyFrameAim& operator=(const KeyFrameAim&) = delete;

    // How far before `time` a seek must aim; the asset's seek preroll when
    // the file cannot be read again.
    MediaTime prerollFor(const MediaTime& time);

private:
    MediaAsset asset_;
    InputFormatPtr format_;
    bool failed_ = false;
};

} // namespace zanto::media
