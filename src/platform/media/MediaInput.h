#pragma once
// Opening movie files for reading, shared by the probe, the readers and the
// composition export. Inside the media layer only.
#include "platform/media/MediaOwners.h"
#include "platform/media/MediaTime.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

struct AVStream;

namespace zanto::media {

// The name FFmpeg is given for a file: absolute, so that a relative name
// holding a colon ("12:30.mp4") is never taken for a protocol.
std::string fileUrl(const std::filesystem::path& path);

// Opens a file and reads its stream information; throws MediaError naming the
// file with FFmpeg's message when it cannot. Setting `cancel` (from any
// thread) ends the opening, and every later read of the file, with an error.
InputFormatPtr openInput(const std::filesystem::path& path, const std::atomic<bool>* cancel = nullptr);

// The time every time of the file is measured from, in AV_TIME_BASE units:
// its first presentation time (0 when unknown), or zero for an MP4 or MOV
// movie, whose timeline starts there.
int64_t firstPresentationTime(const AVFormatContext* format);

// A time stamp of `stream` as a media time from the file's first presentation time.
MediaTime streamTime(const AVFormatContext* format, const AVStream* stream, int64_t timestamp);
// The reverse: a media time from the file's start as a time stamp of `stream`.
int64_t streamTimestamp(const AVFormatContext* format, const AVStream* stream, const MediaTime& time);

// Index of the first stream of a type (AVMEDIA_TYPE_...), or -1. Attached
// pictures (cover art) are not video.
int firstStream(const AVFormatContext* format, int mediaType);

} // namespace zanto::media
