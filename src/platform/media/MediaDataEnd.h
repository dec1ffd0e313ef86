#pragma once
// Where a movie's data really runs out when the file is shorter than its
// header or index says: a recording broken off, a copy cut short. For the
// probe; inside the media layer only.
#include "platform/media/MediaTime.h"

#include <filesystem>
#include <optional>
#include <vector>

struct AVFormatContext;

namespace zanto::media {

// For stream `index` of `format` (opened from `path`, its stream information
// read): a time from the file's first presentation time at or before which
// every frame of the stream is in the file, the start of its last whole
// picture or a little earlier where pictures are reordered. None when the
// data reaches the stated duration (within a few frames) and when the
// container cannot tell without being read whole.
//
// The index FFmpeg holds answers for MP4 and MOV. A Matroska file whose index
// does not reach its end has its tail read (at most 16 MiB), an AVI without
// its index the headers of its chunks (its frames carry no times), against
// the frames its header counts. `format`
// is only read: its position is left as it was. Any thread.
std::optional<MediaTime> dataEndOf(const std::filesystem::path& path, const AVFormatContext* format, int index);

// The length of a Matroska or WebM file that states none, as a live recorder or
// a writer to a pipe leaves it: no duration in its header, no cues.
struct MeasuredLength {
    // From the file's first presentation time to the end of its last packet.
    MediaTime duration;
    // By stream index: where each stream's last packet ends, on the same
    // clock; none for a stream with no packet in the part read.
    std::vector<std::optional<MediaTime>> streamEnds;
};

// For `format` (opened from `path`, its stream information read): the length
// measured from the file's tail, read as dataEndOf reads a cut Matroska's (at
// most 16 MiB, going no further back). None when the file states its length
// (FFmpeg's guess from its size and bit rate is not a statement), is not
// Matroska or WebM, or its tail cannot be read. `format` is only read. Any
// thread.
std::optional<MeasuredLength> measuredLengthOf(const std::filesystem::path& path, const AVFormatContext* format);

// For a Matroska or WebM file (opened from `path`, its stream information
// read): where each stream's last packet ends, by stream index, on the clock
// of the file's first presentation time. Matroska states no track lengths,
// and FFmpeg gives every track the file's: a picture that ends seconds
// before the sound would seem to run on. The DURATION tag each track's
// writer left answers without a read; a track without one is measured from
// the file's tail as measuredLengthOf reads it. None for a stream neither
// tells; empty for other containers. `format` is only read. Any thread.
std::vector<std::optional<MediaTime>> matroskaTrackEnds(const std::filesystem::path& path,
                                                        const AVFormatContext* format);

} // namespace zanto::media
