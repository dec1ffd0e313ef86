#include "platform/media/FrameReader.h"
#include "platform/media/MediaError.h"
#include "support/RecordedMovies.h"
#include "support/TableNames.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>

using namespace zanto;
using namespace zanto::test;

namespace {

// Our picture as a TestFrame, so that the ffmpeg-side helpers can read it.
TestFrame asTestFrame(const QImage& image)
{
    TestFrame frame;
    frame.width = image.width();
    frame.height = image.height();
    frame.bgra.resize(size_t(frame.width) * size_t(frame.height) * 4);
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(frame.bgra.data() + size_t(y) * size_t(frame.width) * 4, image.constScanLine(y),
                    size_t(frame.width) * 4);
    return frame;
}

int code(const VideoFrame& frame)
{
    return readFrameCode(asTestFrame(frame.image), 0, 0, frame.image.width(), frame.image.height());
}

class FrameReaderTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir("zanto-reader-");
        TestMovieOptions o;
        o.audio = false;
        makeTestMovie(*dir_ / "code.mp4", o);
        o.bFrames = true;
        o.durationSeconds = 2;
        makeTestMovie(*dir_ / "bframes.mp4", o);
        o.bFrames = false;
        o.durationSeconds = 1;
        o.frameRate = 30000;
        o.frameRateBase = 1001;
        makeTestMovie(*dir_ / "ntsc.mp4", o);
        o.frameRate = 30;
        o.frameRateBase = 1;
        o.variableFrameRate = true;
        makeTestMovie(*dir_ / "vfr.mp4", o);
        o.variableFrameRate = false;
        o.rotationDegrees = 90;
        o.durationSeconds = 0.3;
        makeTestMovie(*dir_ / "phone.mov", o);
        TestMovieOptions tone;
        tone.video = false;
        makeTestMovie(*dir_ / "tone.mp4", tone);
        runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red:s=160x90:d=1", "-frames:v", "0", "-c:v",
                           "libx264", (*dir_ / "empty.mp4").string()});
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::filesystem::path media(const char* name) { return *dir_ / name; }
    static TempDir* dir_;
};

TempDir* FrameReaderTest::dir_ = nullptr;

struct AtCase {
    const char* file;
    MediaTime time;
    int frame; // the frame on show then
};

TEST_F(FrameReaderTest, FrameAtIsTheLastFrameAtOrBeforeTheTime)
{
    // One reader for the whole table: it goes forward, back, and past the end.
    const AtCase cases[] = {
        {"code.mp4", MediaTime{0, 1}, 0},          {"code.mp4", MediaTime{1, 100}, 0},
        {"code.mp4", MediaTime{1, 30}, 1},         {"code.mp4", MediaTime{2999, 6000}, 14},
        {"code.mp4", MediaTime{1, 2}, 15},         {"code.mp4", MediaTime{999, 1000}, 29},
        {"code.mp4", MediaTime{1, 1}, 29},         {"code.mp4", MediaTime{5, 1}, 29},
        {"code.mp4", MediaTime{1, 5}, 6},          {"code.mp4", MediaTime{-1, 1}, 0},
        {"ntsc.mp4", MediaTime{10010, 30000}, 10}, {"ntsc.mp4", MediaTime{10009, 30000}, 9},
        {"vfr.mp4", MediaTime{14, 300}, 0},        {"vfr.mp4", MediaTime{16, 300}, 1},
        {"vfr.mp4", MediaTime{21, 300}, 2},        {"vfr.mp4", MediaTime{36, 300}, 3},
    };
    std::map<std::string, std::unique_ptr<FrameReader>> readers;
    for (const AtCase& c : cases) {
        auto& reader = readers[c.file];
        if (!reader) reader = std::make_unique<FrameReader>(media(c.file));
        VideoFrame frame = reader->frameAt(c.time);
        EXPECT_EQ(code(frame), c.frame) << c.file << " at " << c.time.toString();
        EXPECT_LE(frame.time, maxTime(c.time, MediaTime::zero()));
    }
}

TEST_F(FrameReaderTest, EveryFrameOfAMovieWithBFramesIsFoundAfterASeek)
{
    // Stepping back seeks to the only key frame; on the way to the time
    // asked for, frames that are never shown and that no frame refers to are
    // skipped, and those that others refer to are not.
    FrameReader reader(media("bframes.mp4"));
    for (int k = 59; k >= 0; --k) {
        EXPECT_EQ(code(reader.frameAt(MediaTime{2 * k + 1, 60})), k) << "between frames " << k << " and " << k + 1;
        EXPECT_EQ(code(reader.frameAt(MediaTime{k, 30})), k) << "at frame " << k;
    }
}

TEST_F(FrameReaderTest, ReadingForwardGivesEveryFrameOnceInOrder)
{
    FrameReader reader(media("code.mp4"));
    reader.seek(MediaTime{1, 2});
    std::vector<int> codes;
    MediaTime last{-1, 1};
    while (std::optional<VideoFrame> frame = reader.nextFrame()) {
        EXPECT_GT(frame->time, last);
        last = frame->time;
        codes.push_back(code(*frame));
    }
    // The seek lands on the key frame at 0.5 s (one every 15 frames).
    ASSERT_EQ(codes.size(), 15u);
    for (size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(codes[i], int(15 + i));
    EXPECT_FALSE(reader.nextFrame()); // stays at the end
    for (int k = 0; k < 30; ++k) EXPECT_EQ(code(reader.frameAt(MediaTime{k, 30})), k);
}

TEST_F(FrameReaderTest, StillIsUprightLikeFfmpegShowsIt)
{
    QImage still = copyStillImage(media("phone.mov"), MediaTime{5, 30});
    ASSERT_EQ(still.size(), QSize(90, 160));
    EXPECT_EQ(still.format(), QImage::Format_ARGB32_Premultiplied);
    TestFrame reference = decodeFrame(media("phone.mov"), 5);
    TestFrame ours = asTestFrame(still);
    ASSERT_EQ(reference.width, ours.width);
    int differing = 0;
    for (int y = 0; y < 160; y += 4)
        for (int x = 0; x < 90; x += 4) {
            auto a = ours.pixel(x, y), b = reference.pixel(x, y);
            differing += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 60;
        }
    EXPECT_LT(differing, 20); // edges of the text may differ a little, a wrong turn differs everywhere
}

TEST_F(FrameReaderTest, NonSquarePixelsComeOutAtTheNaturalSize)
{
    TestMovieOptions o;
    o.width = 120;
    o.pixelAspect = "4/3";
    o.audio = false;
    o.durationSeconds = 0.2;
    TempDir dir;
    QImage still = copyStillImage(makeTestMovie(dir / "wide.mp4", o), MediaTime{3, 30});
    ASSERT_EQ(still.size(), QSize(160, 90));
    EXPECT_EQ(readFrameCode(asTestFrame(still), 0, 0, 160, 90), 3);
}

TEST_F(FrameReaderTest, TransparentSourcesArePremultiplied)
{
    TempDir dir;
    auto path = dir / "alpha.mov";
    runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red@0.5:s=64x36:d=0.1,format=rgba", "-c:v", "png",
                       path.string()});
    QImage still = copyStillImage(path, MediaTime{0, 1});
    ASSERT_EQ(still.format(), QImage::Format_ARGB32_Premultiplied);
    const uchar* px = still.constScanLine(18) + 32 * 4; // B, G, R, A
    EXPECT_NEAR(px[3], 128, 2);
    EXPECT_NEAR(px[2], 128, 3);
    EXPECT_LE(px[2], px[3]);
}

// Every recorded kind at the in points a lookup can get wrong: a still cut
// there, and one reader going forward through them, show the frame ffmpeg
// decodes as covering the time (its first before the first picture, its
// last in a sound-only tail).
class FrameReaderRecorded : public testing::TestWithParam<std::string> { };

TEST_P(FrameReaderRecorded, ShowsTheFrameFfmpegShowsAtEachInPoint)
{
    TempDir dir;
    const RecordedMovie movie = makeRecordedMovie(dir.path(), GetParam());
    const double from = recordedClockStart(movie);
    FrameReader reader(movie.path);
    for (const RecordedInPoint& in : recordedInPoints(movie, inspectMovie(movie.path).frameTimes)) {
        const TestFrame expected = decodeFrameAt(movie.path, from + in.seconds);
        const int wanted = readFrameCode(expected, 0, 0, expected.width, expected.height);
        const MediaTime time = MediaTime::fromSeconds(in.seconds, 60000);
        const QImage still = copyStillImage(movie.path, time, FrameDecoding::OneThread);
        EXPECT_EQ(readFrameCode(asTestFrame(still), 0, 0, still.width(), still.height()), wanted)
            << "still " << in.name << " at " << in.seconds;
        EXPECT_EQ(code(reader.frameAt(time)), wanted) << in.name << " at " << in.seconds;
    }
}

// The presentation times of a movie's key frames, as ffprobe reads its packets.
std::vector<double> keyFrameTimes(const std::filesystem::path& path)
{
    std::istringstream lines(runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                 "packet=pts_time,flags", "-of", "csv=p=0", path.string()}));
    std::vector<double> times;
    for (std::string line; std::getline(lines, line);)
        if (line.find(",K") != std::string::npos) times.push_back(std::stod(line));
    return times;
}

// A seek by time finds a key frame by its decoding time, and a time rounded
// to the file's ticks: a fresh reader asked for a time within a few frames
// before a key frame (a fragmented MP4's reordered pictures, an AVI's
// thirtieths) must not land on it and show it early.
TEST_P(FrameReaderRecorded, AFreshReaderJustBeforeAKeyFrameShowsTheFrameBeforeIt)
{
    TempDir dir;
    const RecordedMovie movie = makeRecordedMovie(dir.path(), GetParam());
    const double from = recordedClockStart(movie);
    std::vector<double> frames = inspectMovie(movie.path).frameTimes;
    std::sort(frames.begin(), frames.end());
    for (double key : keyFrameTimes(movie.path)) {
        for (double before : {0.0004, 0.017, 0.034, 0.05, 0.067}) {
            const double seconds = key - from - before;
            if (seconds < 0) continue;
            const auto shown = std::upper_bound(frames.begin(), frames.end(), from + seconds + 1e-9);
            const int wanted = std::max(0, int(shown - frames.begin()) - 1);
            FrameReader reader(movie.path, FrameOrientation::Natural, FrameDecoding::OneThread);
            EXPECT_EQ(code(reader.frameAt(MediaTime::fromSeconds(seconds, 60000))), wanted) << "at " << seconds;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FrameReaderRecorded, testing::ValuesIn(recordedMovieKinds()),
                         [](const auto& info) { return caseName(info.param); });

struct StillFailure {
    const char* name;
    const char* file;
    MediaTime time;
};

void PrintTo(const StillFailure& c, std::ostream* out)
{
    *out << c.name;
}

class FrameReaderStillFailure : public FrameReaderTest, public testing::WithParamInterface<StillFailure> { };

TEST_P(FrameReaderStillFailure, ThrowsMediaError)
{
    EXPECT_THROW(copyStillImage(media(GetParam().file), GetParam().time), MediaError);
}

INSTANTIATE_TEST_SUITE_P(Table, FrameReaderStillFailure,
                         testing::Values(StillFailure{"missing", "nothing.mp4", MediaTime{0, 1}},
                                         StillFailure{"audio_only", "tone.mp4", MediaTime{0, 1}},
                                         StillFailure{"no_frames", "empty.mp4", MediaTime{0, 1}},
                                         StillFailure{"past_the_end", "code.mp4", MediaTime{3, 2}},
                                         StillFailure{"before_zero", "code.mp4", MediaTime{-1, 30}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ColourCase {
    const char* name;
    const char* matrix; // the matrix the movie is encoded with (the scale filter's name)
    const char* tag;    // and tagged with (the encoder's name for it)
    int width;
    ColourMatrix probed; // what the probe reports
};

void PrintTo(const ColourCase& c, std::ostream* out)
{
    *out << c.name;
}

class FrameReaderColour : public testing::TestWithParam<ColourCase> { };

TEST_P(FrameReaderColour, DecodesWithTheTaggedMatrix)
{
    TempDir dir;
    const ColourCase& c = GetParam();
    std::string size = std::to_string(c.width) + "x" + std::to_string(c.width * 9 / 16);
    auto path = dir / "colour.mp4";
    runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=0x10d030:s=" + size + ":d=0.1", "-vf",
                       std::string("scale=out_color_matrix=") + c.matrix + ":out_range=tv", "-colorspace", c.tag,
                       "-pix_fmt", "yuv420p", "-c:v", "libx264", "-qp", "0", path.string()});
    EXPECT_EQ(MediaAsset::load(path).video->colourMatrix, c.probed);
    QImage still = copyStillImage(path, MediaTime{0, 1});
    QRgb px = still.pixel(still.width() / 2, still.height() / 2);
    // Read with the other matrix, this green would be off by 15 in red and 30 in green.
    EXPECT_NEAR(qRed(px), 0x10, 6);
    EXPECT_NEAR(qGreen(px), 0xd0, 6);
    EXPECT_NEAR(qBlue(px), 0x30, 6);
}

INSTANTIATE_TEST_SUITE_P(Table, FrameReaderColour,
                         testing::Values(ColourCase{"hd_bt709", "bt709", "bt709", 1280, ColourMatrix::BT709},
                                         ColourCase{"sd_bt601", "bt470bg", "bt470bg", 320, ColourMatrix::BT601},
                                         ColourCase{"sd_smpte170m", "smpte170m", "smpte170m", 320, ColourMatrix::BT601},
                                         // Phones record in BT.2020; read as BT.709 this green gains 20 in green.
                                         ColourCase{"phone_bt2020", "bt2020", "bt2020nc", 320, ColourMatrix::BT2020}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
