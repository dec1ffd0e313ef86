#pragma once
#include <cstdint>
#include <optional>

#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"

// How a movie's times become the whole frames of a Final Cut Pro XML file.
// Plain functions, any thread.
namespace zanto {

// The frame duration written for a video track: 1/N for a whole rate N of 1
// to 240 frames a second, 1001/(N·1000) for the NTSC rates 23.976, 29.97,
// 47.952, 59.94 and 119.88, each within a hundredth of a percent. A track
// without a rate, with a variable rate, or with any other rate throws
// ExportFailure("フレームレートを判定できません。…"): an editor would place its
// frames at times the file does not hold.
MediaTime fcpxmlFrameDuration(const VideoTrackInfo& video);

// The start timecode of a file as a number of frames of `frameDuration` from
// zero; 0 for a file without one. Accepted: "HH:MM:SS:FF" (non-drop frame)
// and, at 29.97 and 59.94 only, drop frame with ";" before the frames, as in
// "00:59:59;28". Throws ExportFailure with
//   "元動画のタイムコードを読み取れません。…" for text not of that form,
//   "タイムコードが不正です。" for a field out of range (hours 24 and up,
//     minutes or seconds 60 and up, frames at or above the rate, a frame
//     label that drop frame skips),
//   "未対応のタイムコード形式です。…" for drop frame at another rate, or a
//     timecode counted at a rate other than the picture's.
std::int64_t fcpxmlTimecodeFrames(const std::optional<MediaTimecode>& timecode, const MediaTime& frameDuration);

// The whole frames of `frameDuration` in `duration`, cut toward zero; a
// thousandth of a frame of slack absorbs durations a container rounded to
// microseconds. 0 for an empty or invalid duration.
std::int64_t wholeFrames(const MediaTime& duration, const MediaTime& frameDuration);

} // namespace zanto
