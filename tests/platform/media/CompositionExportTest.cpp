#include "platform/media/CompositionExport.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "support/RecordedMovies.h"
#include "support/TableNames.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <fstream>

using namespace zanto;
using namespace zanto::test;

namespace {

MediaTime sec(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

MediaTimeRange span(double start, double duration)
{
    return {sec(start), sec(duration)};
}

// Scales a picture of w × h to fit the output, centred, as the playlist does.
AffineTransform fit(const AffineTransform& preferred, double w, double h, double outW, double outH)
{
    MediaRect r = preferred.mapRect({0, 0, w, h});
    double s = std::min(outW / r.width, outH / r.height);
    return preferred.then(AffineTransform::translation(-r.x, -r.y))
        .then(AffineTransform::scaling(s, s))
        .then(AffineTransform::translation((outW - r.width * s) / 2, (outH - r.height * s) / 2));
}

// One clip of a file from `start` for `length` seconds, picture and sound,
// unscaled on a 160 × 90 output.
Composition oneClip(const std::filesystem::path& file, double start, double length, bool sound)
{
    Composition c;
    c.width = 160;
    c.height = 90;
    c.video = {{file, span(start, length), sec(0)}};
    if (sound) c.audio = {{file, span(start, length), sec(0)}};
    c.instructions = {{span(0, length), {}}};
    c.duration = sec(length);
    return c;
}

class CompositionExportTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir("zanto-composition-");
        TestMovieOptions code;
        code.durationSeconds = 2;
        makeTestMovie(*dir_ / "code.mp4", code);
        TestMovieOptions silent = code;
        silent.audio = false;
        silent.durationSeconds = 1;
        makeTestMovie(*dir_ / "silent.mp4", silent);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::filesystem::path media(const char* name) { return *dir_ / name; }

    Composition twoSegments(int width, int height)
    {
        Composition c;
        c.width = width;
        c.height = height;
        AffineTransform place = fit({}, 160, 90, width, height);
        // Output 0–0.5 s shows source 0.5–1.0 s; output 0.5–0.8 s shows source 0.2–0.5 s.
        c.video = {{media("code.mp4"), span(0.5, 0.5), sec(0)}, {media("silent.mp4"), span(0.2, 0.3), sec(0.5)}};
        c.audio = {{media("code.mp4"), span(0.5, 0.5), sec(0)}};
        c.instructions = {{span(0, 0.5), place}, {span(0.5, 0.3), place}};
        c.duration = sec(0.8);
        return c;
    }

    TempDir out_;
    static TempDir* dir_;
};

TempDir* CompositionExportTest::dir_ = nullptr;

TEST_F(CompositionExportTest, SegmentsFollowEachOtherFrameByFrame)
{
    CompositionExport job(twoSegments(320, 180), out_ / "out.mp4");
    job.run();
    EXPECT_EQ(job.status(), ExportStatus::Completed);
    EXPECT_DOUBLE_EQ(job.progress(), 1.0);
    MovieFacts facts = inspectMovie(out_ / "out.mp4");
    EXPECT_EQ(facts.width, 320);
    EXPECT_EQ(facts.height, 180);
    EXPECT_NEAR(facts.frameRate, 30, 0.01);
    EXPECT_EQ(facts.videoCodec, "h264");
    EXPECT_EQ(facts.profile, "High");
    EXPECT_EQ(facts.pixelFormat, "yuv420p");
    EXPECT_EQ(facts.colourSpace, "bt709");
    ASSERT_EQ(facts.frameTimes.size(), 24u);
    for (size_t k = 0; k < facts.frameTimes.size(); ++k) EXPECT_NEAR(facts.frameTimes[k], k / 30.0, 1e-3);
    struct Expect {
        int outputFrame;
        int sourceFrame;
    };
    for (Expect e : {Expect{0, 15}, Expect{14, 29}, Expect{15, 6}, Expect{23, 14}}) {
        TestFrame frame = decodeFrame(out_ / "out.mp4", e.outputFrame);
        EXPECT_EQ(readFrameCode(frame, 0, 0, 320, 180), e.sourceFrame) << "output frame " << e.outputFrame;
    }
}

TEST_F(CompositionExportTest, AudioIsPlacedBySampleWithSilenceElsewhere)
{
    Composition c = twoSegments(160, 90);
    // Sound only in the second segment: output 0.5–0.8 s.
    c.audio = {{media("code.mp4"), span(0.2, 0.3), sec(0.5)}};
    CompositionExport job(c, out_ / "audio.mp4");
    job.run();
    MovieFacts facts = inspectMovie(out_ / "audio.mp4");
    ASSERT_TRUE(facts.hasAudio);
    EXPECT_EQ(facts.audioCodec, "aac");
    EXPECT_EQ(facts.sampleRate, 48000);
    EXPECT_EQ(facts.channels, 2);
    std::vector<float> sound = decodeAudioMono(out_ / "audio.mp4", 8000);
    EXPECT_LT(rmsLevel(sound, 0, 3800), 0.005);
    EXPECT_GT(rmsLevel(sound, 4200, 6200), 0.05);
    EXPECT_NEAR(double(sound.size()) / 8000.0, 0.8, 0.03);
}

struct OnsetCase {
    const char* name;
    int sampleRate;   // of the source's sound
    double clipStart; // source second where the clip begins
};

void PrintTo(const OnsetCase& c, std::ostream* out)
{
    *out << c.name;
}

class CompositionSoundOnset : public testing::TestWithParam<OnsetCase> { };

// The source is silent until exactly 1 s; placed at output 0.2 s from
// `clipStart`, its sound must begin at 0.2 + (1 − clipStart) s to the sample
// (a millisecond of slack for the AAC round trip).
TEST_P(CompositionSoundOnset, SoundBeginsOnItsSample)
{
    const OnsetCase& c = GetParam();
    TempDir dir;
    auto source = dir / "step.mp4";
    runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=black:s=160x90:r=30:d=3", "-f", "lavfi", "-i",
                       "aevalsrc='if(gte(t\\,1)\\,0.5*sin(2*PI*440*t)\\,0)':s=" + std::to_string(c.sampleRate) + ":d=3",
                       "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-ac", "2", source.string()});
    Composition composition = oneClip(source, c.clipStart, 1.5, true);
    composition.video[0].outputTime = composition.audio[0].outputTime = sec(0.2);
    composition.instructions[0].timeRange = span(0, 1.7);
    composition.duration = sec(1.7);
    CompositionExport job(composition, dir / "out.mp4");
    job.run();
    std::vector<float> sound = decodeAudioMono(dir / "out.mp4", 48000);
    auto loud = std::find_if(sound.begin(), sound.end(), [](float v) { return std::abs(v) > 0.05f; });
    ASSERT_NE(loud, sound.end());
    double onset = double(loud - sound.begin()) / 48000;
    EXPECT_NEAR(onset, 0.2 + (1.0 - c.clipStart), 0.001);
    EXPECT_NEAR(double(sound.size()) / 48000, 1.7, 0.03);
}

INSTANTIATE_TEST_SUITE_P(Table, CompositionSoundOnset,
                         testing::Values(OnsetCase{"from_the_start", 48000, 0.0}, OnsetCase{"after_a_seek", 48000, 0.5},
                                         OnsetCase{"resampled_after_a_seek", 44100, 0.9}),
                         [](const auto& info) { return std::string(info.param.name); });

// Sound keeps to its time stamps: a stretch missing from the source's audio
// stays silent in the output, and what follows it is not pulled earlier.
TEST_F(CompositionExportTest, AGapInTheSourceSoundStaysSilentAndInPlace)
{
    auto source = out_ / "gap.mp4";
    runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=black:s=160x90:r=30:d=1.2", "-f", "lavfi", "-i",
                       "sine=frequency=440:sample_rate=48000:d=1.2", "-af", "aselect='not(between(t\\,0.4\\,0.6))'",
                       "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", source.string()});
    CompositionExport job(oneClip(source, 0.1, 1.0, true), out_ / "out.mp4");
    job.run();
    // Output second t plays source second t + 0.1: sound, a gap from 0.3 to 0.5, sound.
    std::vector<float> sound = decodeAudioMono(out_ / "out.mp4", 8000);
    EXPECT_GT(rmsLevel(sound, 400, 2200), 0.05);
    EXPECT_LT(rmsLevel(sound, 2600, 3800), 0.005);
    EXPECT_GT(rmsLevel(sound, 4400, 7600), 0.05);
    EXPECT_NEAR(double(sound.size()) / 8000, 1.0, 0.03);
}

TEST_F(CompositionExportTest, NoAudioInsertsMeansNoAudioStream)
{
    Composition c = twoSegments(160, 90);
    c.audio.clear();
    CompositionExport job(c, out_ / "mute.mp4");
    job.run();
    EXPECT_FALSE(inspectMovie(out_ / "mute.mp4").hasAudio);
}

TEST_F(CompositionExportTest, DefaultOutputIs1280By720At30)
{
    Composition c = twoSegments(1280, 720);
    c.duration = sec(0.1);
    CompositionExport job(c, out_ / "hd.mp4");
    job.run();
    MovieFacts facts = inspectMovie(out_ / "hd.mp4");
    EXPECT_EQ(facts.width, 1280);
    EXPECT_EQ(facts.height, 720);
    EXPECT_EQ(facts.frameTimes.size(), 3u);
    EXPECT_EQ(readFrameCode(decodeFrame(out_ / "hd.mp4", 2), 0, 0, 1280, 720), 17);
}

struct PlacementCase {
    const char* name;
    int rotation;
    int width; // of the source, coded
    int height;
    const char* pixelAspect;
    // Expected picture left edge on a 320 × 180 output (bars to its left).
    double left;
};

void PrintTo(const PlacementCase& c, std::ostream* out)
{
    *out << c.name;
}

class CompositionPlacement : public CompositionExportTest, public testing::WithParamInterface<PlacementCase> { };

TEST_P(CompositionPlacement, PictureIsUprightFittedAndCentredOverBlack)
{
    const PlacementCase& p = GetParam();
    TestMovieOptions o;
    o.picture = TestPicture::Solid;
    o.colour = "0xff0000";
    o.width = p.width;
    o.height = p.height;
    o.rotationDegrees = p.rotation;
    o.pixelAspect = p.pixelAspect;
    o.audio = false;
    o.durationSeconds = 0.2;
    auto source = makeTestMovie(out_ / "source.mp4", o);
    MediaAsset asset = MediaAsset::load(source);
    const int naturalWidth = asset.video->width;
    Composition c;
    c.width = 320;
    c.height = 180;
    c.video = {{source, span(0, 0.2), sec(0)}};
    c.instructions = {{span(0, 0.2), fit(asset.video->preferredTransform, naturalWidth, p.height, 320, 180)}};
    c.duration = sec(0.2);
    CompositionExport job(c, out_ / "placed.mp4");
    job.run();
    TestFrame frame = decodeFrame(out_ / "placed.mp4", 1);
    auto red = [&](int x, int y) {
        auto px = frame.pixel(x, y);
        return px.r > 200 && px.g < 60 && px.b < 60;
    };
    auto black = [&](int x, int y) {
        auto px = frame.pixel(x, y);
        return px.r < 30 && px.g < 30 && px.b < 30;
    };
    EXPECT_TRUE(red(160, 90));
    EXPECT_TRUE(red(int(p.left) + 3, 10));
    EXPECT_TRUE(red(320 - int(p.left) - 4, 170));
    if (p.left >= 4) {
        EXPECT_TRUE(black(int(p.left) - 3, 90));
        EXPECT_TRUE(black(320 - int(p.left) + 2, 90));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CompositionPlacement,
                         testing::Values(PlacementCase{"wide", 0, 160, 90, "", 0},
                                         PlacementCase{"four_by_three", 0, 120, 90, "", 40},
                                         PlacementCase{"anamorphic_wide", 0, 120, 90, "4/3", 0},
                                         PlacementCase{"phone_upright", 90, 160, 90, "", 109.375},
                                         PlacementCase{"phone_other_way", 270, 160, 90, "", 109.375}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CompositionExportTest, OverlayShowsExactlyDuringItsRange)
{
    Composition c = twoSegments(160, 90);
    QImage mark(160, 90, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter(&mark).fillRect(60, 10, 40, 20, Qt::green);
    // Frames 10 to 19 (1/3 s to 2/3 s).
    c.overlays = {{mark, {MediaTime{10, 30}, MediaTime{10, 30}}}};
    CompositionExport job(c, out_ / "overlay.mp4");
    job.run();
    for (int k : {9, 10, 19, 20}) {
        TestFrame frame = decodeFrame(out_ / "overlay.mp4", k);
        auto px = frame.pixel(80, 20);
        bool green = px.g > 200 && px.r < 60;
        EXPECT_EQ(green, k >= 10 && k < 20) << "frame " << k;
        EXPECT_EQ(readFrameCode(frame, 0, 0, 160, 90), k < 15 ? 15 + k : k - 9);
    }
}

TEST_F(CompositionExportTest, CompositorGetsEachFrameWithItsSegment)
{
    Composition c = twoSegments(160, 90);
    std::vector<std::pair<int, int64_t>> seen;
    c.compositor = [&](const CompositorRequest& r) {
        seen.emplace_back(r.instructionIndex, r.outputTime.convertScale(30).value);
        EXPECT_EQ(r.sourceFrame.size(), QSize(160, 90));
        QImage out(160, 90, QImage::Format_ARGB32_Premultiplied);
        out.fill(r.instructionIndex == 0 ? Qt::blue : Qt::yellow);
        return out;
    };
    CompositionExport job(c, out_ / "custom.mp4");
    job.run();
    ASSERT_EQ(seen.size(), 24u);
    for (size_t k = 0; k < seen.size(); ++k) {
        EXPECT_EQ(seen[k].first, k < 15 ? 0 : 1);
        EXPECT_EQ(seen[k].second, int64_t(k));
    }
    EXPECT_GT(decodeFrame(out_ / "custom.mp4", 3).pixel(80, 45).b, 200);
    EXPECT_GT(decodeFrame(out_ / "custom.mp4", 20).pixel(80, 45).r, 200);
}

TEST_F(CompositionExportTest, ProgressRisesToOneAndStatusFollowsTheRun)
{
    CompositionExport job(twoSegments(160, 90), out_ / "progress.mp4");
    EXPECT_EQ(job.status(), ExportStatus::Waiting);
    EXPECT_DOUBLE_EQ(job.progress(), 0.0);
    std::vector<double> seen;
    job.start();
    while (!job.waitFor(std::chrono::milliseconds(5))) seen.push_back(job.progress());
    seen.push_back(job.progress());
    EXPECT_EQ(job.status(), ExportStatus::Completed);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.front(), 0.0);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
    EXPECT_TRUE(job.errorMessage().empty());
    job.start();  // a second start does nothing
    job.cancel(); // nor does a cancel once it has completed
    EXPECT_EQ(job.status(), ExportStatus::Completed);
    EXPECT_TRUE(std::filesystem::exists(out_ / "progress.mp4"));
}

TEST_F(CompositionExportTest, CompositorFailureFailsTheExportWithItsOwnError)
{
    Composition c = twoSegments(160, 90);
    c.compositor = [](const CompositorRequest& r) -> QImage {
        if (r.instructionIndex == 1) throw std::runtime_error("映像フレームを取得できません。");
        return QImage(160, 90, QImage::Format_ARGB32_Premultiplied);
    };
    CompositionExport job(c, out_ / "broken.mp4");
    job.start();
    job.wait();
    EXPECT_EQ(job.status(), ExportStatus::Failed);
    EXPECT_EQ(job.errorMessage(), "映像フレームを取得できません。");
    EXPECT_THROW(std::rethrow_exception(job.error()), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(out_ / "broken.mp4"));
}

TEST_F(CompositionExportTest, CancelStopsAndRemovesThePartialOutput)
{
    Composition c = twoSegments(160, 90);
    std::atomic<int> frames{0};
    CompositionExport* self = nullptr;
    c.compositor = [&](const CompositorRequest& r) {
        if (++frames == 5) self->cancel();
        QImage out(160, 90, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::black);
        (void)r;
        return out;
    };
    CompositionExport job(c, out_ / "cancelled.mp4");
    self = &job;
    bool completionRan = false;
    job.start([&] { completionRan = true; });
    while (!job.waitFor(std::chrono::milliseconds(200))) { }
    EXPECT_TRUE(completionRan);
    EXPECT_EQ(job.status(), ExportStatus::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(out_ / "cancelled.mp4"));
    EXPECT_LT(frames.load(), 24);
}

// The held frames share one picture; an overlay on some of them is drawn on
// copies and leaves the others as they were.
TEST_F(CompositionExportTest, ClipEndingPastTheSourceHoldsItsLastFrame)
{
    // silent.mp4 has 30 frames; ask for 0.9–1.04 s: frames 2 to 4 show its last.
    Composition c = oneClip(media("silent.mp4"), 0.9, 0.14, false);
    QImage mark(160, 90, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter(&mark).fillRect(60, 10, 40, 20, Qt::green);
    c.overlays = {{mark, {MediaTime{2, 30}, MediaTime{2, 30}}}};
    CompositionExport job(c, out_ / "held.mp4");
    job.run();
    MovieFacts facts = inspectMovie(out_ / "held.mp4");
    ASSERT_EQ(facts.frameTimes.size(), 5u);
    for (int k : {2, 3, 4}) {
        const TestFrame frame = decodeFrame(out_ / "held.mp4", k);
        EXPECT_EQ(readFrameCode(frame, 0, 0, 160, 90), 29) << "frame " << k;
        EXPECT_EQ(frame.pixel(80, 20).g > 200 && frame.pixel(80, 20).r < 60, k < 4) << "frame " << k;
    }
}

// Every recorded kind cut at the in points a lookup can get wrong, four
// frames from each, one after another: each cut's first written frame is the
// one ffmpeg decodes as covering its in point, and a cut in a sound-only tail
// is written, its last picture held, with its sound.
class CompositionRecorded : public testing::TestWithParam<std::string> { };

TEST_P(CompositionRecorded, EachCutStartsOnTheFrameFfmpegShowsAtItsInPoint)
{
    TempDir dir;
    const RecordedMovie movie = makeRecordedMovie(dir.path(), GetParam());
    const std::vector<RecordedInPoint> points = recordedInPoints(movie, inspectMovie(movie.path).frameTimes);
    const MediaTime length{4, 30};
    Composition c;
    c.width = 160;
    c.height = 90;
    for (size_t i = 0; i < points.size(); ++i) {
        const MediaTimeRange source{sec(points[i].seconds), length};
        c.video.push_back({movie.path, source, length * int64_t(i)});
        if (points[i].name == "sound-only tail") c.audio.push_back({movie.path, source, length * int64_t(i)});
    }
    c.instructions = {{{sec(0), length * int64_t(points.size())}, {}}};
    c.duration = length * int64_t(points.size());
    CompositionExport job(c, dir / "out.mp4");
    ASSERT_NO_THROW(job.run()) << job.errorMessage();
    const std::vector<float> sound = decodeAudioMono(dir / "out.mp4", 8000);
    const double from = recordedClockStart(movie);
    for (size_t i = 0; i < points.size(); ++i) {
        const TestFrame expected = decodeFrameAt(movie.path, from + points[i].seconds);
        const TestFrame written = decodeFrame(dir / "out.mp4", int(i) * 4);
        EXPECT_EQ(readFrameCode(written, 0, 0, 160, 90), readFrameCode(expected, 0, 0, 160, 90))
            << points[i].name << " at " << points[i].seconds;
        if (points[i].name != "sound-only tail") continue;
        EXPECT_EQ(readFrameCode(decodeFrame(dir / "out.mp4", int(i) * 4 + 3), 0, 0, 160, 90), 89);
        const size_t at = i * 4 * 8000 / 30;
        EXPECT_GT(rmsLevel(sound, at + 100, at + 900), 0.05) << "the tail's sound";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CompositionRecorded, testing::ValuesIn(recordedMovieKinds()),
                         [](const auto& info) { return caseName(info.param); });

struct BadSourceCase {
    const char* name;
    void (*make)(const std::filesystem::path&);
    bool asAudio;
};

void PrintTo(const BadSourceCase& c, std::ostream* out)
{
    *out << c.name;
}

class CompositionBadSource : public CompositionExportTest, public testing::WithParamInterface<BadSourceCase> { };

TEST_P(CompositionBadSource, FailsWithAClearErrorAndLeavesNoFile)
{
    auto source = out_ / "source.mp4";
    GetParam().make(source);
    Composition c = oneClip(source, 0, 0.5, true);
    if (GetParam().asAudio) c.video[0].assetPath = media("code.mp4");
    CompositionExport job(c, out_ / "out.mp4");
    EXPECT_THROW(job.run(), MediaError);
    EXPECT_EQ(job.status(), ExportStatus::Failed);
    EXPECT_NE(job.errorMessage().find("source.mp4"), std::string::npos) << job.errorMessage();
    EXPECT_FALSE(std::filesystem::exists(out_ / "out.mp4"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompositionBadSource,
    testing::Values(BadSourceCase{"missing", [](const std::filesystem::path&) {}, false},
                    BadSourceCase{"text", [](const std::filesystem::path& p) { std::ofstream(p) << "hello"; }, false},
                    BadSourceCase{"audio_only",
                                  [](const std::filesystem::path& p) {
                                      TestMovieOptions o;
                                      o.video = false;
                                      makeTestMovie(p, o);
                                  },
                                  false},
                    BadSourceCase{"no_frames",
                                  [](const std::filesystem::path& p) {
                                      runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red:s=160x90:d=1",
                                                         "-frames:v", "0", "-c:v", "libx264", p.string()});
                                  },
                                  false},
                    BadSourceCase{"no_audio_for_audio_insert",
                                  [](const std::filesystem::path& p) {
                                      TestMovieOptions o;
                                      o.audio = false;
                                      makeTestMovie(p, o);
                                  },
                                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// Sources are read several at once: whichever fails first, the error is the
// earliest insert's.
TEST_F(CompositionExportTest, TheEarliestBadSourceIsTheOneReported)
{
    Composition c = oneClip(media("code.mp4"), 0, 0.5, false);
    for (const char* name : {"first.mp4", "second.mp4", "third.mp4", "fourth.mp4", "fifth.mp4"}) {
        c.video.push_back(c.video[0]);
        c.video.back().assetPath = out_ / name;
    }
    std::ofstream(out_ / "second.mp4") << "hello";
    CompositionExport job(c, out_ / "out.mp4");
    EXPECT_THROW(job.run(), MediaError);
    EXPECT_NE(job.errorMessage().find("first.mp4"), std::string::npos) << job.errorMessage();
}

TEST_F(CompositionExportTest, LateAudioKeepsItsPlaceAndVariableRateBecomesConstant)
{
    TestMovieOptions o;
    o.variableFrameRate = true;
    o.audioDelaySeconds = 0.5;
    o.audioDurationSeconds = 0.5;
    auto source = makeTestMovie(out_ / "late.mp4", o);
    // The whole first second, audio range not cut to the audio track: the
    // sound must still start half a second in.
    CompositionExport job(oneClip(source, 0, 1, true), out_ / "out.mp4");
    job.run();
    MovieFacts facts = inspectMovie(out_ / "out.mp4");
    ASSERT_EQ(facts.frameTimes.size(), 30u);
    for (size_t k = 1; k < facts.frameTimes.size(); ++k)
        EXPECT_NEAR(facts.frameTimes[k] - facts.frameTimes[k - 1], 1.0 / 30, 1e-3);
    // Source frame n shows from (n + 0.5·(n mod 2))/30: output frame 3 (0.1 s) still shows frame 2.
    EXPECT_EQ(readFrameCode(decodeFrame(out_ / "out.mp4", 3), 0, 0, 160, 90), 2);
    EXPECT_EQ(readFrameCode(decodeFrame(out_ / "out.mp4", 4), 0, 0, 160, 90), 4);
    std::vector<float> sound = decodeAudioMono(out_ / "out.mp4", 8000);
    EXPECT_LT(rmsLevel(sound, 0, 3700), 0.005);
    EXPECT_GT(rmsLevel(sound, 4300, 7600), 0.05);
}

TEST_F(CompositionExportTest, MonoAndOtherRatesPlayAtFullLevelOnBothSides)
{
    struct Source {
        const char* file;
        int sampleRate;
        int channels;
    };
    Composition c = twoSegments(160, 90);
    c.video = {{media("silent.mp4"), span(0, 0.8), sec(0)}};
    c.audio.clear();
    double at = 0;
    for (Source s : {Source{"mono44.mp4", 44100, 1}, Source{"stereo32.mov", 32000, 2}}) {
        TestMovieOptions o;
        o.video = false;
        o.sampleRate = s.sampleRate;
        o.channels = s.channels;
        o.durationSeconds = 0.4;
        c.audio.push_back({makeTestMovie(out_ / s.file, o), span(0, 0.4), sec(at)});
        at += 0.4;
    }
    CompositionExport job(c, out_ / "levels.mp4");
    job.run();
    // Each side keeps its source's level: the mono sine's on both sides, the
    // stereo file's own level per side.
    double mono = rmsLevel(decodeAudioChannel(out_ / "mono44.mp4", 0), 200, 3000);
    EXPECT_NEAR(mono, 0.125 / std::sqrt(2.0), 0.01);
    for (int channel : {0, 1}) {
        double stereo = rmsLevel(decodeAudioChannel(out_ / "stereo32.mov", channel), 200, 3000);
        std::vector<float> side = decodeAudioChannel(out_ / "levels.mp4", channel);
        EXPECT_NEAR(rmsLevel(side, 200, 3000), mono, 0.01) << "mono, channel " << channel;
        EXPECT_NEAR(rmsLevel(side, 3400, 6200), stereo, 0.01) << "32 kHz, channel " << channel;
        EXPECT_NEAR(double(side.size()) / 8000, 0.8, 0.03);
    }
}

TEST_F(CompositionExportTest, TruncatedSourceEndsCleanlyWithoutHanging)
{
    TestMovieOptions o;
    o.durationSeconds = 2;
    auto whole = makeTestMovie(out_ / "whole.mp4", o);
    // Index first, then cut the media data short: the file opens but ends early.
    runTool("ffmpeg", {"-v", "error", "-i", whole.string(), "-c", "copy", "-movflags", "+faststart",
                       (out_ / "fast.mp4").string()});
    std::filesystem::copy_file(out_ / "fast.mp4", out_ / "cut.mp4");
    std::filesystem::resize_file(out_ / "cut.mp4", std::filesystem::file_size(out_ / "fast.mp4") / 2);
    CompositionExport job(oneClip(out_ / "cut.mp4", 0, 2, true), out_ / "out.mp4");
    job.start();
    ASSERT_TRUE(job.waitFor(std::chrono::seconds(60)));
    // Either the frames that are there, the last one held, or a clear failure.
    if (job.status() == ExportStatus::Completed) {
        EXPECT_EQ(inspectMovie(out_ / "out.mp4").frameTimes.size(), 60u);
    } else {
        EXPECT_EQ(job.status(), ExportStatus::Failed);
        EXPECT_NE(job.errorMessage().find("cut.mp4"), std::string::npos) << job.errorMessage();
    }
}

struct ColourCase {
    const char* name;
    const char* matrix; // the source's matrix (the scale filter's name)
    const char* tag;    // and its tag (the encoder's name)
    bool overlay;       // an overlay sends the frame through the picture path
};

void PrintTo(const ColourCase& c, std::ostream* out)
{
    *out << c.name;
}

class CompositionColour : public testing::TestWithParam<ColourCase> { };

// Whatever the source's matrix, the output is BT.709 and shows the same colour.
TEST_P(CompositionColour, SourceColourSurvivesIntoTheBt709Output)
{
    const ColourCase& c = GetParam();
    TempDir dir;
    auto source = dir / "source.mp4";
    runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=0x10d030:s=320x180:d=0.1", "-vf",
                       std::string("scale=out_color_matrix=") + c.matrix + ":out_range=tv", "-colorspace", c.tag,
                       "-pix_fmt", "yuv420p", "-c:v", "libx264", "-qp", "0", source.string()});
    Composition composition = oneClip(source, 0, 0.1, false);
    composition.instructions[0].transform = AffineTransform::scaling(0.5, 0.5);
    if (c.overlay) {
        QImage dot(160, 90, QImage::Format_ARGB32_Premultiplied);
        dot.fill(Qt::transparent);
        dot.setPixel(0, 0, qRgb(255, 255, 255));
        composition.overlays.push_back({dot, span(0, 0.1)});
    }
    CompositionExport job(composition, dir / "out.mp4");
    job.run();
    TestFrame::Pixel px = decodeFrame(dir / "out.mp4", 1).pixel(80, 45);
    EXPECT_NEAR(px.r, 0x10, 8);
    EXPECT_NEAR(px.g, 0xd0, 8);
    EXPECT_NEAR(px.b, 0x30, 8);
}

INSTANTIATE_TEST_SUITE_P(Table, CompositionColour,
                         testing::Values(ColourCase{"sd_bt601", "bt470bg", "bt470bg", false},
                                         ColourCase{"phone_bt2020", "bt2020", "bt2020nc", false},
                                         ColourCase{"phone_bt2020_under_overlay", "bt2020", "bt2020nc", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CompositionFrameCount, RoundsUpToWholeFrames)
{
    struct Case {
        MediaTime duration;
        int64_t frames;
    };
    for (Case c : {Case{MediaTime{3, 1}, 90}, Case{MediaTime{60600, 60000}, 31}, Case{MediaTime{1, 100}, 1},
                   Case{MediaTime{0, 1}, 0}, Case{MediaTime{-5, 1}, 0}}) {
        Composition composition;
        composition.duration = c.duration;
        EXPECT_EQ(compositionFrameCount(composition), c.frames) << c.duration.toString();
    }
}

} // namespace

// Bytes [from, to) of a file (as fractions of its size) overwritten or cut off.
void damage(const std::filesystem::path& file, double from, double to, bool cut)
{
    const auto size = std::filesystem::file_size(file);
    if (cut) {
        std::filesystem::resize_file(file, uintmax_t(double(size) * from));
        return;
    }
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    stream.seekp(std::streamoff(double(size) * from));
    for (auto i = uintmax_t(double(size) * from); i < uintmax_t(double(size) * to); ++i) stream.put(char(i * 131 + 7));
}

std::filesystem::path fastStartMovie(const std::filesystem::path& path, double seconds)
{
    const std::string d = std::to_string(seconds);
    runTool("ffmpeg",
            {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=s=160x90:r=30:d=" + d, "-f", "lavfi", "-i",
             "sine=frequency=440:d=" + d, "-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart", path.string()});
    return path;
}

TEST_F(CompositionExportTest, SourceCutShortFailsNamingTheFile)
{
    auto source = fastStartMovie(out_ / "cut-short.mp4", 4);
    damage(source, 0.4, 1, true);
    CompositionExport job(oneClip(source, 0, 3.5, true), out_ / "out.mp4");
    EXPECT_THROW(job.run(), MediaError);
    EXPECT_NE(job.errorMessage().find("cut-short.mp4"), std::string::npos) << job.errorMessage();
    EXPECT_FALSE(std::filesystem::exists(out_ / "out.mp4"));
}

// Points the middle chunk of the sound's index ("stco" of the second track)
// past the end of the file: those packets cannot be read, the rest can.
void damageSoundIndex(const std::filesystem::path& file)
{
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(stream)), {});
    const size_t box = bytes.find("stco", bytes.find("stco") + 4);
    ASSERT_NE(box, std::string::npos);
    auto word = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16
               | uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
    };
    const uint32_t count = word(box + 8);
    ASSERT_GE(count, 3u);
    stream.seekp(std::streamoff(box + 12 + 4 * (count / 2)));
    stream.write("\x7f\xff\xff\xf0", 4);
}

TEST_F(CompositionExportTest, DamagedStretchOfSoundIsSkippedNotTheRestOfTheTrack)
{
    auto source = fastStartMovie(out_ / "damaged.mp4", 4);
    damageSoundIndex(source);
    CompositionExport job(oneClip(source, 0, 4, true), out_ / "out.mp4");
    job.run();
    std::vector<float> sound = decodeAudioMono(out_ / "out.mp4", 8000);
    ASSERT_GE(sound.size(), 31000u);
    EXPECT_GT(rmsLevel(sound, 24000, 31000), 0.05) << "the sound after the damage is kept";
}
