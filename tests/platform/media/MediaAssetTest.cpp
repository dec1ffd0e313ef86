#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "support/RecordedMovies.h"
#include "support/TableNames.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace zanto;
using namespace zanto::test;

namespace {

struct ProbeCase {
    const char* name;
    TestMovieOptions options;
    const char* file;
    // Expectations.
    bool video;
    int width;
    int height;
    double frameRate;
    bool audio;
    double audioStart;
    double duration;
};

TestMovieOptions with(void (*edit)(TestMovieOptions&))
{
    TestMovieOptions o;
    edit(o);
    return o;
}

void PrintTo(const ProbeCase& c, std::ostream* out)
{
    *out << c.name;
}

class MediaAssetProbe : public testing::TestWithParam<ProbeCase> { };

TEST_P(MediaAssetProbe, ReportsTracksAsWritten)
{
    const ProbeCase& c = GetParam();
    TempDir dir;
    MediaAsset asset = MediaAsset::load(makeTestMovie(dir / c.file, c.options));
    EXPECT_EQ(asset.hasVideo(), c.video);
    EXPECT_NEAR(asset.duration.seconds(), c.duration, 0.03);
    if (c.video) {
        EXPECT_EQ(asset.video->width, c.width);
        EXPECT_EQ(asset.video->height, c.height);
        EXPECT_NEAR(asset.video->nominalFrameRate, c.frameRate, 0.01);
        EXPECT_NEAR(asset.video->frameDuration.seconds(), 1.0 / c.frameRate, 1e-6);
        EXPECT_NEAR(asset.video->timeRange.start.seconds(), 0.0, 1e-6);
        EXPECT_LE(asset.video->timeRange.end(), asset.duration);
    }
    EXPECT_EQ(asset.hasAudio(), c.audio);
    if (c.audio) {
        EXPECT_EQ(asset.audio->sampleRate, 48000);
        EXPECT_EQ(asset.audio->channels, 2);
        // Unflagged AAC priming (1024 samples) may come before the sound.
        EXPECT_NEAR(asset.audio->timeRange.start.seconds(), c.audioStart, 0.025);
        EXPECT_NEAR(asset.audio->timeRange.end().seconds(), c.audioStart + 1.0, 0.025);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MediaAssetProbe,
                         testing::Values(ProbeCase{"plain", {}, "plain.mp4", true, 160, 90, 30, true, 0, 1},
                                         ProbeCase{"four_by_three", with([](auto& o) { o.width = 120; }), "sd.mov",
                                                   true, 120, 90, 30, true, 0, 1},
                                         ProbeCase{"anamorphic", with([](auto& o) {
                                                       o.width = 120;
                                                       o.pixelAspect = "4/3";
                                                   }),
                                                   "wide.mp4", true, 160, 90, 30, true, 0, 1},
                                         ProbeCase{"ntsc", with([](auto& o) {
                                                       o.frameRate = 30000;
                                                       o.frameRateBase = 1001;
                                                   }),
                                                   "ntsc.mp4", true, 160, 90, 29.97003, true, 0, 1},
                                         ProbeCase{"late_audio", with([](auto& o) { o.audioDelaySeconds = 0.5; }),
                                                   "late.mp4", true, 160, 90, 30, true, 0.5, 1.5},
                                         ProbeCase{"audio_only", with([](auto& o) { o.video = false; }), "tone.mp4",
                                                   false, 0, 0, 0, true, 0, 1},
                                         ProbeCase{"silent", with([](auto& o) { o.audio = false; }), "silent.mp4", true,
                                                   160, 90, 30, false, 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MediaAsset, PhoneRotationBecomesAQuarterTurnTransform)
{
    TempDir dir;
    struct Case {
        int rotation;
        int quarterTurns; // clockwise on screen
    };
    for (Case c : {Case{0, 0}, Case{90, 3}, Case{270, 1}, Case{180, 2}}) {
        TestMovieOptions options;
        options.rotationDegrees = c.rotation;
        options.audio = false;
        auto path = makeTestMovie(dir / ("r" + std::to_string(c.rotation) + ".mp4"), options);
        MediaAsset asset = MediaAsset::load(path);
        EXPECT_EQ(asset.video->preferredTransform.quarterTurns(), c.quarterTurns) << c.rotation;
        MediaRect upright = asset.video->preferredTransform.mapRect({0, 0, 160, 90});
        EXPECT_DOUBLE_EQ(upright.width, c.rotation % 180 ? 90 : 160);
        // ffmpeg decodes it upright the same way.
        TestFrame frame = decodeFrame(path, 0);
        EXPECT_EQ(frame.width, int(upright.width));
    }
}

TEST(MediaAsset, TimecodeAndFrameRateKind)
{
    TempDir dir;
    TestMovieOptions options;
    options.timecode = "01:00:00:00";
    MediaAsset asset = MediaAsset::load(makeTestMovie(dir / "tc.mov", options));
    ASSERT_TRUE(asset.startTimecode);
    EXPECT_EQ(asset.startTimecode->text, "01:00:00:00");
    EXPECT_FALSE(asset.startTimecode->dropFrame);
    EXPECT_EQ(asset.startTimecode->framesPerSecond, 30);
    EXPECT_TRUE(asset.video->constantFrameRate);

    options.timecode = "00:59:59;28";
    options.frameRate = 30000;
    options.frameRateBase = 1001;
    asset = MediaAsset::load(makeTestMovie(dir / "df.mov", options));
    ASSERT_TRUE(asset.startTimecode);
    EXPECT_TRUE(asset.startTimecode->dropFrame);

    TestMovieOptions vfr;
    vfr.variableFrameRate = true;
    vfr.audio = false;
    vfr.durationSeconds = 2;
    asset = MediaAsset::load(makeTestMovie(dir / "vfr.mp4", vfr));
    EXPECT_FALSE(asset.video->constantFrameRate);
    EXPECT_FALSE(MediaAsset::load(dir / "tc.mov").startTimecode->text.empty());
    EXPECT_FALSE(MediaAsset::load(makeTestMovie(dir / "none.mp4", vfr)).startTimecode);
}

struct BadCase {
    const char* name;
    void (*make)(const std::filesystem::path&);
};

void PrintTo(const BadCase& c, std::ostream* out)
{
    *out << c.name;
}

class MediaAssetBadInput : public testing::TestWithParam<BadCase> { };

TEST_P(MediaAssetBadInput, ThrowsAClearErrorNamingTheFile)
{
    TempDir dir;
    auto path = dir / "bad.mp4";
    GetParam().make(path);
    try {
        MediaAsset::load(path);
        FAIL() << "loaded";
    } catch (const MediaError& error) {
        EXPECT_NE(std::string(error.what()).find("bad.mp4"), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MediaAssetBadInput,
    testing::Values(BadCase{"missing", [](const std::filesystem::path&) {}},
                    BadCase{"text", [](const std::filesystem::path& p) { std::ofstream(p) << "not a movie at all\n"; }},
                    BadCase{"empty", [](const std::filesystem::path& p) { std::ofstream{p}; }},
                    BadCase{"truncated",
                            [](const std::filesystem::path& p) {
                                TestMovieOptions o;
                                o.timecode = "";
                                makeTestMovie(p.parent_path() / "whole.mp4", o);
                                std::ifstream in(p.parent_path() / "whole.mp4", std::ios::binary);
                                std::string bytes((std::istreambuf_iterator<char>(in)), {});
                                // Keep the media data, lose the index at the end.
                                std::ofstream(p, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
                            }},
                    BadCase{"folder", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); }},
                    // FFmpeg takes these for a lyrics file and a subtitle track.
                    BadCase{"lyrics", [](const std::filesystem::path& p) { std::ofstream(p) << "[00:01.00]line\n"; }},
                    BadCase{"subtitles_only",
                            [](const std::filesystem::path& p) {
                                auto text = p.parent_path() / "lines.srt";
                                std::ofstream(text) << "1\n00:00:01,000 --> 00:00:02,000\nline\n";
                                runTool("ffmpeg", {"-v", "error", "-i", text.string(), "-c:s", "mov_text", p.string()});
                            }}),
    [](const auto& info) { return std::string(info.param.name); });

// Movies of each container, whole or cut short as a copy broken off is: five
// seconds with a key frame every half second (two with B-frames), so a cut
// lands past several clusters and fragments.
struct DataEndCase {
    const char* name;
    const char* file;
    const char* movflags; // copied over itself with these MP4 flags first; null: as written
    void (*change)(const std::filesystem::path&);
    bool whole;             // every frame stays in the file
    bool reordered = false; // B-frames and the sound half a second late: an edit list in MP4
    bool piped = false;     // written to a pipe as a live recorder writes it: no stated length, no cues
};

void PrintTo(const DataEndCase& c, std::ostream* out)
{
    *out << c.name;
}

void keepShare(const std::filesystem::path& path, double share)
{
    std::filesystem::resize_file(path, uintmax_t(double(std::filesystem::file_size(path)) * share));
}

void keepTwoFifths(const std::filesystem::path& path)
{
    keepShare(path, 0.4);
}

void appendJunk(const std::filesystem::path& path)
{
    std::ofstream(path, std::ios::app | std::ios::binary) << std::string(5000, 'Z');
}

// Where each track of the recorded kinds starts and ends, as ffprobe reads
// its packets and frames: pictures that end before the sound, or start after
// it, keep their own range. A Matroska whose writer left no DURATION tags is
// measured from its tail.
struct RecordedRangeCase {
    std::string name;
    std::string kind;
    bool untagged = false; // the tracks' DURATION tags renamed away
};

void PrintTo(const RecordedRangeCase& c, std::ostream* out)
{
    *out << c.name;
}

// Renames every "DURATION" tag of a Matroska file, as a writer that leaves none.
void renameDurationTags(const std::filesystem::path& path)
{
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (size_t at = bytes.find("DURATION"); at != bytes.npos; at = bytes.find("DURATION", at + 1)) bytes[at] = 'X';
    std::ofstream(path, std::ios::binary) << bytes;
}

// The start and end (last packet's time plus its length) of a track's packets
// on ffprobe's clock.
std::pair<double, double> packetSpan(const std::filesystem::path& path, const char* track)
{
    std::istringstream lines(runTool("ffprobe", {"-v", "error", "-select_streams", track, "-show_entries",
                                                 "packet=pts_time,duration_time", "-of", "csv=p=0", path.string()}));
    double first = 1e9, last = -1e9;
    for (std::string line; std::getline(lines, line);) {
        double at = 0, length = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &at, &length) < 1) continue;
        first = std::min(first, at);
        last = std::max(last, at + length);
    }
    return {first, last};
}

std::vector<RecordedRangeCase> recordedRangeCases()
{
    std::vector<RecordedRangeCase> cases;
    for (const std::string& kind : recordedMovieKinds()) cases.push_back({kind, kind});
    cases.push_back({"Matroska long sound untagged", "Matroska long sound", true});
    return cases;
}

class MediaAssetRecordedRange : public testing::TestWithParam<RecordedRangeCase> { };

TEST_P(MediaAssetRecordedRange, EachTrackSpansWhatFfprobeReads)
{
    TempDir dir;
    const RecordedMovie movie = makeRecordedMovie(dir.path(), GetParam().kind);
    if (GetParam().untagged) renameDurationTags(movie.path);
    const MediaAsset asset = MediaAsset::load(movie.path);
    const MovieFacts facts = inspectMovie(movie.path);
    const bool mp4 = movie.path.extension() == ".mp4" || movie.path.extension() == ".mov";
    EXPECT_NEAR(asset.firstPresentationTime.seconds(), mp4 ? 0 : facts.startSeconds, 1e-3);
    const double from = asset.firstPresentationTime.seconds();
    const auto [firstFrame, lastFrame] = std::ranges::minmax(facts.frameTimes);
    ASSERT_TRUE(asset.video);
    EXPECT_NEAR(asset.video->timeRange.start.seconds(), firstFrame - from, 0.002);
    EXPECT_NEAR(asset.video->timeRange.end().seconds(), lastFrame + 1.0 / 30 - from, 0.002);
    // Two frames later where B-frames delay the first picture and no edit
    // list takes the delay back (fragmented MP4).
    EXPECT_NEAR(asset.video->timeRange.start.seconds(), movie.pictureStartSeconds, 0.07);
    EXPECT_NEAR(asset.video->timeRange.duration.seconds(), movie.pictureSeconds, 0.03);
    const auto [soundStart, soundEnd] = packetSpan(movie.path, "a:0");
    ASSERT_TRUE(asset.audio);
    EXPECT_NEAR(asset.audio->timeRange.start.seconds(), soundStart - from, 0.025);
    // FFmpeg measures a transport stream's tracks to the start of the last
    // PES packet it finds, which carries several AAC frames of sound.
    const bool transport = asset.seekPreroll > MediaTime::zero();
    EXPECT_NEAR(asset.audio->timeRange.end().seconds(), soundEnd - from, transport ? 0.12 : 0.025);
    EXPECT_FALSE(asset.dataEnd);
}

INSTANTIATE_TEST_SUITE_P(Table, MediaAssetRecordedRange, testing::ValuesIn(recordedRangeCases()), ByName{});

struct Packet {
    double shown = 0;
    uintmax_t size = 0, pos = 0;
    char flags[4] = {};
};

// Cuts through the middle of the video packet nearest the middle of the file
// that `pick` chooses, given the packet decoded before it.
void tearPacket(const std::filesystem::path& path, bool (*pick)(const Packet& before, const Packet& packet))
{
    std::istringstream lines(runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                 "packet=pts_time,size,pos,flags", "-of", "csv=p=0", path.string()}));
    const double middle = double(std::filesystem::file_size(path)) / 2;
    Packet before, packet;
    uintmax_t at = 0;
    for (std::string line; std::getline(lines, line); before = packet) {
        std::sscanf(line.c_str(), "%lf,%ju,%ju,%3s", &packet.shown, &packet.size, &packet.pos, packet.flags);
        if (pick(before, packet) && std::abs(double(packet.pos) - middle) < std::abs(double(at) - middle))
            at = packet.pos + packet.size / 2;
    }
    std::filesystem::resize_file(path, at);
}

void tearKeyFrame(const std::filesystem::path& path)
{
    tearPacket(path, [](const Packet&, const Packet& packet) { return packet.flags[0] == 'K'; });
}

// Cuts through a B-frame right behind the reference frame it is shown before:
// that reference is whole in the file, the frames shown ahead of it are not.
void tearAfterReference(const std::filesystem::path& path)
{
    tearPacket(path, [](const Packet& before, const Packet& packet) { return packet.shown < before.shown; });
}

// Cuts an AVI between the two chunks nearest its middle: every chunk left is
// whole, only the header's frame count tells that some are missing.
void cutBetweenChunks(const std::filesystem::path& path)
{
    std::istringstream lines(
        runTool("ffprobe", {"-v", "error", "-show_entries", "packet=pos", "-of", "csv=p=0", path.string()}));
    const double middle = double(std::filesystem::file_size(path)) / 2;
    uintmax_t at = 0;
    // A packet's data follows its chunk's eight-byte header.
    for (uintmax_t data = 0; lines >> data;)
        if (std::abs(double(data - 8) - middle) < std::abs(double(at) - middle)) at = data - 8;
    std::filesystem::resize_file(path, at);
}

std::filesystem::path makeDataEndMovie(const std::filesystem::path& path, const DataEndCase& c)
{
    TestMovieOptions options;
    options.durationSeconds = 5;
    options.bFrames = c.reordered;
    options.audioDelaySeconds = c.reordered ? 0.5 : 0;
    options.piped = c.piped;
    if (path.extension() == ".webm") {
        options.videoCodec = "libvpx";
        options.audioCodec = "libopus";
    }
    if (!c.movflags) return makeTestMovie(path, options);
    auto written = makeTestMovie(path.parent_path() / ("written-" + path.filename().string()), options);
    runTool("ffmpeg", {"-v", "error", "-i", written.string(), "-c", "copy", "-movflags", c.movflags, path.string()});
    return path;
}

class MediaAssetDataEnd : public testing::TestWithParam<DataEndCase> { };

TEST_P(MediaAssetDataEnd, TellsWhereTheDataOfACutFileRunsOut)
{
    const DataEndCase& c = GetParam();
    TempDir dir;
    const auto path = makeDataEndMovie(dir / c.file, c);
    const std::vector<double> written = c.whole ? std::vector<double>{} : inspectMovie(path).frameTimes;
    c.change(path);
    const MediaAsset asset = MediaAsset::load(path);
    if (c.whole) {
        EXPECT_FALSE(asset.dataEnd) << asset.dataEnd.value_or(MediaTime{}).seconds();
        // Within two frames of the length written, stated or measured; a
        // measured one also gives each track its own end.
        EXPECT_NEAR(asset.duration.seconds(), c.reordered ? 5.5 : 5, 0.07);
        if (!c.piped) return;
        EXPECT_NEAR(asset.video->timeRange.duration.seconds(), 5, 0.07);
        EXPECT_NEAR(asset.audio->timeRange.duration.seconds(), 5, 0.07);
        return;
    }
    // What ffmpeg decodes from what is left, on the probe's clock.
    const MovieFacts left = inspectMovie(path);
    ASSERT_FALSE(left.frameTimes.empty());
    const double last = *std::max_element(left.frameTimes.begin(), left.frameTimes.end()) - left.startSeconds;
    ASSERT_TRUE(asset.dataEnd) << "duration " << asset.duration.seconds() << ", pictures to " << last;
    for (double time : written) {
        if (time - left.startSeconds > asset.dataEnd->seconds() + 1e-6) continue;
        EXPECT_TRUE(std::ranges::any_of(left.frameTimes, [&](double t) { return std::abs(t - time) < 1e-3; }))
            << "the picture at " << time << " s is gone";
    }
    EXPECT_GT(asset.dataEnd->seconds(), last - 0.5);
    EXPECT_LT(asset.dataEnd->seconds(), 4.0);
}

constexpr const char* fragmented = "frag_keyframe+empty_moov";
constexpr const char* faststart = "+faststart";

void asWritten(const std::filesystem::path&) { }

const DataEndCase dataEndCases[] = {
    {"fragmented_mp4", "f.mp4", fragmented, asWritten, true},
    {"faststart_mp4", "s.mp4", faststart, asWritten, true},
    {"mp4_with_junk", "j.mp4", nullptr, appendJunk, true},
    {"mov", "m.mov", nullptr, asWritten, true},
    {"matroska", "m.mkv", nullptr, asWritten, true},
    {"mpeg_ts", "t.ts", nullptr, asWritten, true},
    {"avi", "a.avi", nullptr, asWritten, true},
    {"piped_matroska", "p.mkv", nullptr, asWritten, true, false, true},
    {"piped_webm", "p.webm", nullptr, asWritten, true, false, true},
    {"mp4_edit_list", "e.mp4", nullptr, asWritten, true, true},
    {"matroska_b_frames_late_sound", "e.mkv", nullptr, asWritten, true, true},
    {"cut_matroska", "m.mkv", nullptr, keepTwoFifths, false},
    {"cut_matroska_torn_key_frame", "k.mkv", nullptr, tearKeyFrame, false},
    {"cut_matroska_b_frames", "b.mkv", nullptr, tearAfterReference, false, true},
    {"cut_avi", "a.avi", nullptr, keepTwoFifths, false},
    // FFmpeg scales a cut AVI's length by its size: this early, past the data.
    {"cut_avi_between_chunks", "a.avi", nullptr, cutBetweenChunks, false},
    {"cut_avi_early", "a.avi", nullptr, [](const auto& p) { keepShare(p, 0.15); }, false},
    {"cut_fragmented_mp4", "f.mp4", fragmented, keepTwoFifths, false},
    {"cut_faststart_mp4", "s.mp4", faststart, keepTwoFifths, false},
};

INSTANTIATE_TEST_SUITE_P(Table, MediaAssetDataEnd, testing::ValuesIn(dataEndCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
