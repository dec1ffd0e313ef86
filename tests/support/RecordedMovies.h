#pragma once
// Intact movies in the containers analysts bring, written as cameras,
// recorders and ffmpeg write them, each showing its frame number
// (TestPicture::FrameCode): for tables that must pass every good file.
#include <filesystem>
#include <string>
#include <vector>

namespace zanto::test {

struct RecordedMovie {
    std::string name;
    std::filesystem::path path;
    double pictureSeconds = 0; // how long its pictures last (its sound may last longer)
    // Where its pictures start, from the file's first presentation time: the
    // sound leads them (a transport stream's), or an empty edit delays them.
    double pictureStartSeconds = 0;
    double soundSeconds = 3; // where its sound ends, from the same time
};

// The kinds of movie makeRecordedMovie writes: MP4, MOV, fragmented MP4,
// Matroska (H.264 and AAC, its pictures starting after its sound), Matroska
// and WebM written to a pipe (no stated length, no index), AVI, MPEG-TS,
// M2TS, an MP4 whose sound lasts a second longer than its pictures; and the
// clocks recorders and broadcast chains leave: Matroska with Opus sound (its
// first time negative), a transport stream whose 33-bit clock wraps 1.5 s in
// (FFmpeg counts it from -1.5 s), a Matroska whose sound outlasts its
// pictures by a second, a transport stream whose sound leads its pictures by
// a second, and an MP4 whose pictures start a second late (an empty edit).
const std::vector<std::string>& recordedMovieKinds();

// One of them in `folder`: three seconds of 160x90 pictures at 30 a second,
// with B-frames and a key frame every 2 s, and a tone.
RecordedMovie makeRecordedMovie(const std::filesystem::path& folder, const std::string& kind);

// Where the recorded movie's times count from, as the probe and players
// count: the file's first presentation time as ffprobe reads it, zero for MP4
// and MOV (their timeline's own zero, pictures or not).
double recordedClockStart(const RecordedMovie& movie);

// In points a frame lookup can get wrong, in seconds from recordedClockStart:
// the start, before the first picture where the sound leads, exactly on a
// frame between key frames, between two frames, just before a key frame, on
// the last frame, and in the sound-only tail where the sound outlasts the
// pictures. `frameTimes` are ffprobe's (inspectMovie).
struct RecordedInPoint {
    std::string name;
    double seconds = 0;
};
std::vector<RecordedInPoint> recordedInPoints(const RecordedMovie& movie, const std::vector<double>& frameTimes);

} // namespace zanto::test
