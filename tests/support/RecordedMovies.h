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
};

// The kinds of movie makeRecordedMovie writes: MP4, MOV, fragmented MP4,
// Matroska (H.264 and AAC, its pictures starting after its sound), Matroska
// and WebM written to a pipe (no stated length, no index), AVI, MPEG-TS,
// M2TS, and an MP4 whose sound lasts a second longer than its pictures.
const std::vector<std::string>& recordedMovieKinds();

// One of them in `folder`: three seconds of 160x90 pictures at 30 a second,
// with B-frames and a key frame every 2 s, and a tone.
RecordedMovie makeRecordedMovie(const std::filesystem::path& folder, const std::string& kind);

} // namespace zanto::test
