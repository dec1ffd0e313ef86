#include "platform/media/FrameReader.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "platform/media/MovieWriter.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using namespace zanto;
using namespace zanto::test;

namespace {

QImage solid(QColor colour, int width = 160, int height = 90)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

MovieWriterSettings smallSettings(MovieContainer container = MovieContainer::MP4)
{
    MovieWriterSettings settings;
    settings.width = 160;
    settings.height = 90;
    settings.container = container;
    return settings;
}

struct WriteCase {
    const char* name;
    MovieContainer container;
    int frames;
};

void PrintTo(const WriteCase& c, std::ostream* out)
{
    *out << c.name;
}

class MovieWriterFrames : public testing::TestWithParam<WriteCase> { };

TEST_P(MovieWriterFrames, WritesEveryFrameAtItsTimeAndLastsWholeFrames)
{
    const WriteCase& c = GetParam();
    TempDir dir;
    auto path = dir / (c.container == MovieContainer::MP4 ? "out.mp4" : "out.mov");
    MovieWriter writer(path, smallSettings(c.container));
    // Red first, blue for the rest: the first and the last frame can be told apart.
    for (int i = 0; i < c.frames; ++i) writer.appendVideoFrame(solid(i == 0 ? Qt::red : Qt::blue), MediaTime{i, 30});
    writer.finish();
    MovieFacts facts = inspectMovie(path);
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 90);
    EXPECT_EQ(facts.videoCodec, "h264");
    EXPECT_FALSE(facts.hasAudio);
    ASSERT_EQ(int(facts.frameTimes.size()), c.frames);
    for (int i = 0; i < c.frames; ++i) EXPECT_NEAR(facts.frameTimes[size_t(i)], i / 30.0, 1e-3);
    EXPECT_NEAR(facts.durationSeconds, c.frames / 30.0, 1e-3);
    EXPECT_GT(decodeFrame(path, 0).pixel(80, 45).r, 200);
    if (c.frames > 1) {
        EXPECT_GT(decodeFrame(path, c.frames - 1).pixel(80, 45).b, 200);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MovieWriterFrames,
                         testing::Values(WriteCase{"one_frame_mov", MovieContainer::QuickTime, 1},
                                         WriteCase{"second_mov", MovieContainer::QuickTime, 30},
                                         WriteCase{"second_and_a_frame_mp4", MovieContainer::MP4, 31}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MovieWriter, ScalesPicturesOfAnotherSizeAndWritesAudio)
{
    TempDir dir;
    MovieWriterSettings settings = smallSettings();
    settings.audio = true;
    MovieWriter writer(dir / "tone.mp4", settings);
    std::vector<float> tone(48000 * 2);
    for (size_t i = 0; i < tone.size() / 2; ++i)
        tone[2 * i] = tone[2 * i + 1] = float(0.5 * std::sin(2 * M_PI * 440 * double(i) / 48000));
    for (int i = 0; i < 30; ++i) writer.appendVideoFrame(solid(Qt::green, 320, 180), MediaTime{i, 30});
    writer.appendAudio(tone.data(), 48000);
    writer.finish();
    MovieFacts facts = inspectMovie(dir / "tone.mp4");
    EXPECT_EQ(facts.width, 160);
    ASSERT_TRUE(facts.hasAudio);
    EXPECT_EQ(facts.sampleRate, 48000);
    EXPECT_EQ(facts.channels, 2);
    std::vector<float> sound = decodeAudioMono(dir / "tone.mp4");
    // ffmpeg's mono downmix adds both channels at -3 dB: a 0.5 sine on both reads as RMS 0.5.
    EXPECT_NEAR(rmsLevel(sound, 800, 7200), 0.5, 0.05);
}

TEST(MovieWriter, OneImageAppendedAgainAndChangedInPlaceShowsItsCurrentPicture)
{
    TempDir dir;
    MovieWriterSettings small = smallSettings();
    MovieWriter writer(dir / "still.mov", small);
    QImage picture = solid(Qt::red);
    for (int i = 0; i < 10; ++i) writer.appendVideoFrame(picture, MediaTime{i, 30});
    picture.fill(Qt::blue);
    for (int i = 10; i < 20; ++i) writer.appendVideoFrame(picture, MediaTime{i, 30});
    writer.finish();
    EXPECT_GT(decodeFrame(dir / "still.mov", 9).pixel(80, 45).r, 200);
    EXPECT_GT(decodeFrame(dir / "still.mov", 10).pixel(80, 45).b, 200);
    EXPECT_EQ(inspectMovie(dir / "still.mov").frameTimes.size(), 20u);
}

// libx264 records the options it encoded with in the stream itself.
std::string encoderOptions(const std::filesystem::path& movie)
{
    std::ifstream in(movie, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t start = bytes.find("options: ");
    return start == std::string::npos ? std::string() : bytes.substr(start, bytes.find('\0', start) - start);
}

TEST(MovieWriter, ExportsAndIntermediatesEncodeWithTheirOwnSettings)
{
    TempDir dir;
    for (const bool intermediate : {false, true}) {
        MovieWriterSettings settings = smallSettings();
        settings.intermediate = intermediate;
        const auto movie = dir / (intermediate ? "intermediate.mov" : "export.mp4");
        MovieWriter writer(movie, settings);
        for (int i = 0; i < 5; ++i) writer.appendVideoFrame(solid(Qt::red), MediaTime{i, 30});
        writer.finish();
        const std::string options = encoderOptions(movie);
        SCOPED_TRACE(options);
        // "ultrafast" does no subpixel search, "fast" a fair one.
        EXPECT_NE(options.find(intermediate ? " crf=10.0 " : " crf=18.0 "), std::string::npos);
        EXPECT_NE(options.find(intermediate ? " subme=0 " : " subme=6 "), std::string::npos);
    }
}

TEST(MovieWriter, RefusesWhatCannotBeWritten)
{
    TempDir dir;
    MovieWriterSettings odd;
    odd.width = 161;
    EXPECT_THROW(MovieWriter(dir / "odd.mp4", odd), MediaError);
    EXPECT_THROW(MovieWriter(dir / "no-such-folder" / "x.mp4", MovieWriterSettings{}), MediaError);
    EXPECT_FALSE(std::filesystem::exists(dir / "odd.mp4"));

    MovieWriterSettings small = smallSettings();
    MovieWriter writer(dir / "order.mp4", small);
    writer.appendVideoFrame(solid(Qt::red), MediaTime{1, 30});
    EXPECT_THROW(writer.appendVideoFrame(solid(Qt::red), MediaTime{1, 30}), MediaError);
    EXPECT_THROW(writer.appendVideoFrame(solid(Qt::red), MediaTime{0, 30}), MediaError);
    {
        MovieWriter empty(dir / "empty.mp4", small);
        EXPECT_THROW(empty.finish(), MediaError);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.mp4"));

    MovieWriterSettings sound = smallSettings();
    sound.audio = true;
    MovieWriter withSound(dir / "sound.mp4", sound);
    float samples[4] = {};
    EXPECT_THROW(withSound.appendAudio(samples, -1), MediaError);
    EXPECT_THROW(withSound.appendAudio(nullptr, 2), MediaError);
    EXPECT_NO_THROW(withSound.appendAudio(samples, 0));
}

// An unfinished write removes only what the writer created itself: a folder
// standing at the place is refused up front and stays, as does a file that
// was there before.
TEST(MovieWriter, FailureRemovesOnlyItsOwnFile)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.mp4");
    try {
        MovieWriter writer(dir / "folder.mp4", smallSettings());
        ADD_FAILURE() << "a folder was accepted as the movie";
    } catch (const MediaError& error) {
        EXPECT_NE(std::string(error.what()).find("a folder stands at that place"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.mp4"));
    std::filesystem::create_directory(dir / "link-target");
    std::filesystem::create_directory_symlink(dir / "link-target", dir / "link.mp4");
    EXPECT_THROW(MovieWriter(dir / "link.mp4", smallSettings()), MediaError);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mp4"));

    std::ofstream(dir / "before.mp4") << "x";
    {
        MovieWriter unfinished(dir / "before.mp4", smallSettings());
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "before.mp4"));
}

// A file named like "12:30.mp4", given relative to the working folder, is a
// file and not an FFmpeg protocol.
TEST(MovieWriter, RelativeNamesHoldingAColonAreFiles)
{
    TempDir dir;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::filesystem::path name = "12:30 kick-off.mp4";
    try {
        MovieWriter writer(name, smallSettings());
        for (int i = 0; i < 3; ++i) writer.appendVideoFrame(solid(Qt::red), MediaTime{i, 30});
        writer.finish();
        MediaAsset asset = MediaAsset::load(name);
        EXPECT_TRUE(asset.hasVideo());
        EXPECT_GT(qRed(copyStillImage(name, MediaTime{1, 30}).pixel(80, 45)), 200);
    } catch (...) {
        std::filesystem::current_path(before);
        throw;
    }
    std::filesystem::current_path(before);
    EXPECT_EQ(inspectMovie(dir.path() / name).frameTimes.size(), 3u);
}

TEST(MovieWriter, CancelStopsWritingAndRemovesTheFile)
{
    TempDir dir;
    MovieWriterSettings small = smallSettings();
    {
        MovieWriter writer(dir / "cancelled.mov", small);
        writer.appendVideoFrame(solid(Qt::red), MediaTime{0, 30});
        writer.cancel();
        EXPECT_TRUE(writer.isCancelled());
        EXPECT_THROW(writer.appendVideoFrame(solid(Qt::red), MediaTime{1, 30}), MediaError);
        EXPECT_THROW(writer.finish(), MediaError);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "cancelled.mov"));
}

} // namespace
