#include "support/RecordedMovies.h"

#include "support/TableNames.h"
#include "support/TestMedia.h"

#include <algorithm>
#include <map>

namespace zanto::test {

namespace {

// Runs ffmpeg from `source` into `target`, through a pipe when `piped`: then
// the writer cannot go back to state the length or add an index.
std::filesystem::path remux(const std::filesystem::path& source, const std::filesystem::path& target,
                            const std::string& arguments, bool piped = false)
{
    const std::string output = piped ? "- > '" + target.string() + "'" : "'" + target.string() + "'";
    runTool("sh", {"-c", "ffmpeg -v error -y -i '" + source.string() + "' " + arguments + " " + output});
    return target;
}

} // namespace

const std::vector<std::string>& recordedMovieKinds()
{
    static const std::vector<std::string> kinds{"MP4",
                                                "MOV",
                                                "fragmented MP4",
                                                "Matroska",
                                                "Matroska piped",
                                                "WebM piped",
                                                "AVI",
                                                "MPEG-TS",
                                                "M2TS",
                                                "long sound",
                                                "Opus Matroska",
                                                "wrapped TS",
                                                "Matroska long sound",
                                                "TS sound leads",
                                                "MP4 empty edit"};
    return kinds;
}

RecordedMovie makeRecordedMovie(const std::filesystem::path& folder, const std::string& kind)
{
    TestMovieOptions recorded{.durationSeconds = 3.0, .bFrames = true};
    const auto target = [&](const std::string& extension) { return folder / (caseName(kind) + extension); };
    if (kind == "MOV") return {kind, makeTestMovie(target(".mov"), recorded), 3};
    if (kind == "Matroska") return {kind, makeTestMovie(target(".mkv"), recorded), 3};
    if (kind == "long sound") {
        recorded.audioDurationSeconds = 4.0;
        return {kind, makeTestMovie(target(".mp4"), recorded), 3, 0, 4};
    }
    if (kind == "Matroska long sound") {
        recorded.audioDurationSeconds = 4.0;
        return {kind, remux(makeTestMovie(target("-source.mp4"), recorded), target(".mkv"), "-c copy"), 3, 0, 4};
    }
    // The pictures start a second after the sound: read twice, the pictures
    // from the first reading shifted by a second.
    if (kind == "TS sound leads" || kind == "MP4 empty edit") {
        recorded.audioDurationSeconds = 4.0;
        const auto source = makeTestMovie(target("-source.mp4"), recorded);
        const std::string extension = kind == "MP4 empty edit" ? ".mp4" : ".ts";
        runTool("ffmpeg", {"-v", "error", "-y", "-itsoffset", "1", "-i", source.string(), "-i", source.string(), "-map",
                           "0:v", "-map", "1:a", "-c", "copy", target(extension).string()});
        return {kind, target(extension), 3, 1, 4};
    }
    const auto mp4 = makeTestMovie(target("-source.mp4"), recorded);
    if (kind == "MP4") return {kind, mp4, 3};
    static const std::map<std::string, std::pair<std::string, std::string>> remuxed{
        {"fragmented MP4", {".mp4", "-c copy -movflags frag_keyframe+empty_moov"}},
        {"Matroska piped", {".mkv", "-c copy -f matroska"}},
        {"WebM piped", {".webm", "-c:v libvpx -b:v 1M -g 60 -c:a libopus -f webm"}},
        {"AVI", {".avi", "-c:v mpeg4 -q:v 2 -g 60 -c:a pcm_s16le"}},
        {"MPEG-TS", {".ts", "-c copy"}},
        {"M2TS", {".m2ts", "-c copy -f mpegts -mpegts_m2ts_mode 1"}},
        {"Opus Matroska", {".mkv", "-c:v copy -c:a libopus"}},
        // 2^33 ticks of 90 kHz are 95443.717 s; the muxer starts at 1.4 s.
        {"wrapped TS", {".ts", "-c copy -output_ts_offset 95440.817"}},
    };
    const auto& [extension, arguments] = remuxed.at(kind);
    return {kind, remux(mp4, target(extension), arguments, kind.ends_with("piped")), 3};
}

double recordedClockStart(const RecordedMovie& movie)
{
    const auto extension = movie.path.extension();
    return extension == ".mp4" || extension == ".mov" ? 0 : inspectMovie(movie.path).startSeconds;
}

std::vector<RecordedInPoint> recordedInPoints(const RecordedMovie& movie, const std::vector<double>& frameTimes)
{
    std::vector<double> times = frameTimes;
    std::sort(times.begin(), times.end());
    const double from = recordedClockStart(movie);
    auto at = [&](size_t frame) { return times.at(frame) - from; };
    std::vector<RecordedInPoint> points{{"start", 0},
                                        {"on a frame between key frames", at(31)},
                                        {"between two frames", (at(45) + at(46)) / 2},
                                        {"just before a key frame", at(60) - 0.001},
                                        {"last frame", at(times.size() - 1)}};
    if (at(0) > 0.1) points.push_back({"before the first picture", at(0) / 2});
    if (movie.soundSeconds > movie.pictureStartSeconds + movie.pictureSeconds + 0.5)
        points.push_back({"sound-only tail", movie.soundSeconds - 0.3});
    return points;
}

} // namespace zanto::test
