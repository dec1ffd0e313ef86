// The playlist MP4 render on real movies, decoded afterwards: timing, source
// ranges, placement, sound and marks.
#include "OrganizerExporterTestSupport.h"

#include "marks/GXLEngine.h"
#include "marks/GXLSettings.h"
#include "playlist/OrganizerExporterComposition.h"

#include <QImage>

#include <cmath>
#include <cstdlib>

namespace zanto::test {
namespace {

bool isMarkColour(const TestFrame::Pixel& p)
{
    // The plain-mark stroke is a lime green (0.83, 1.0, 0.26).
    return p.g > 170 && p.r > 120 && p.b < 140;
}

// Whether any pixel of a short vertical run around (x, y) has the mark colour.
bool markNear(const TestFrame& frame, int x, int y)
{
    for (int dy = -3; dy <= 3; ++dy)
        if (isMarkColour(frame.pixel(x, y + dy))) return true;
    return false;
}

// An arrow along the middle row, from x 0.1 to 0.9.
OrganizerMark middleArrow()
{
    OrganizerMark arrow;
    arrow.kind = "arrow";
    arrow.x = 0.1;
    arrow.y = 0.5;
    arrow.x2 = 0.9;
    arrow.y2 = 0.5;
    return arrow;
}

class OrganizerExporterRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGuiApplication();
        media = new TempDir("zanto-render-media-");
        TestMovieOptions counter; // 3 s, frame numbers in stripes, with a tone
        counter.durationSeconds = 3.0;
        makeTestMovie(*media / "counter.mp4", counter);
        TestMovieOptions slow = counter; // 16 s at 10 fps: frame n is at n / 10 s
        slow.durationSeconds = 16.0;
        slow.frameRate = 10;
        slow.audio = false;
        makeTestMovie(*media / "slow.mp4", slow);
        TestMovieOptions blue;
        blue.picture = TestPicture::Solid;
        blue.colour = "blue";
        blue.audio = false;
        blue.durationSeconds = 2.0;
        makeTestMovie(*media / "blue.mp4", blue);
        blue.piped = true; // a live recording: its length is measured, not stated
        makeTestMovie(*media / "blue-live.mkv", blue);
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }
    static std::filesystem::path movie(const std::string& name) { return *media / name; }

    // Renders and returns the output path; fails the test on an error.
    std::filesystem::path render(const OrganizerDocument& document, const std::vector<OrganizerItem>& items)
    {
        const auto url = out / "out.mp4";
        OrganizerExporter exporter;
        const std::string message = renderMessage(exporter, document, items, url);
        EXPECT_EQ(message, "");
        EXPECT_TRUE(temporary.leftovers().empty());
        return url;
    }

    static TempDir* media;
    TempDir out{"zanto-render-out-"};
    ScopedTemporaryFolder temporary;
};
TempDir* OrganizerExporterRenderTest::media = nullptr;

struct TimingCase {
    const char* label;
    std::vector<OrganizerItem> items;
};

class OrganizerExporterTimingTest : public OrganizerExporterRenderTest,
                                    public ::testing::WithParamInterface<TimingCase> { };

TEST_P(OrganizerExporterTimingTest, FramesAndDurationFollowTheSummedItemLengths)
{
    const std::vector<OrganizerItem>& items = GetParam().items;
    const auto url = render(documentWith({sourceAt("S1", movie("counter.mp4"))}, {}), items);
    double total = 0;
    for (const OrganizerItem& item : items) total += item.end - item.start;
    const MovieFacts facts = inspectMovie(url);
    EXPECT_EQ(facts.width, 1280);
    EXPECT_EQ(facts.height, 720);
    EXPECT_NEAR(facts.frameRate, 30.0, 0.01);
    // The one set of export settings.
    EXPECT_EQ(facts.videoCodec, "h264");
    EXPECT_EQ(facts.profile, "High");
    EXPECT_EQ(facts.pixelFormat, "yuv420p");
    EXPECT_EQ(facts.colourSpace, "bt709");
    ASSERT_EQ(facts.frameTimes.size(), size_t(std::ceil(total * 30 - 1e-9)));
    for (size_t k = 0; k < facts.frameTimes.size(); ++k)
        EXPECT_NEAR(facts.frameTimes[k], double(k) / 30.0, 0.002) << "frame " << k;
    EXPECT_NEAR(facts.durationSeconds, total, 1.0 / 30.0 + 0.03);
}

const TimingCase timingCases[] = {
    {"OneClip", {videoItem("a", "S1", 0.5, 1.5)}},
    {"ClipsAndSlides", {videoItem("a", "S1", 0, 0.5), stillItem("t", "title", 0.4), videoItem("b", "S1", 2, 2.7)}},
    {"PartFrames", {videoItem("a", "S1", 0.1, 0.45), stillItem("t", "title", 0.3)}},
    {"HundredthOfASecondSlide", {stillItem("t", "title", 0.01)}},
    {"ClipEndingAtTheToleranceAfterTheFile", {videoItem("a", "S1", 2.5, 3.04)}},
};
INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterTimingTest, ::testing::ValuesIn(timingCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The range rule's slack of 0.04 s after the file's end, both ways, on a
// silent two-second movie (whose duration is exactly its 60 frames), stated in
// its header or, for a live recording, measured. Ends are typed as decimals,
// as an analyst enters them.
struct ToleranceCase {
    const char* label;
    double start, end, offset;
    bool accepted;
    const char* file = "blue.mp4";
};

const ToleranceCase toleranceCases[] = {
    {"EndsAtTheFileEnd", 1.5, 2.0, 0, true},
    {"EndsFourHundredthsAfter", 1, 2.04, 0, true},
    // 0.4 − 0.2 + (2.24 − 0.4) sums to just over 2.04 in binary.
    {"EndsFourHundredthsAfterThroughANegativeOffset", 0.4, 2.24, -0.2, true},
    {"EndsFourHundredthsAfterThroughAPositiveOffset", 0.7, 1.74, 0.3, true},
    {"EndsFiveHundredthsAfter", 1, 2.05, 0, false},
    {"EndsFiveHundredthsAfterThroughAnOffset", 0.45, 1.8, 0.25, false},
    {"StartsBeforeTheFile", 0.1, 0.5, -0.15, false},
    {"LiveRecordingInside", 0.5, 1.5, 0, true, "blue-live.mkv"},
    {"LiveRecordingEndsFourHundredthsAfter", 1, 2.04, 0, true, "blue-live.mkv"},
    {"LiveRecordingEndsFiveHundredthsAfter", 1, 2.05, 0, false, "blue-live.mkv"},
};

class OrganizerExporterToleranceTest : public OrganizerExporterRenderTest,
                                       public ::testing::WithParamInterface<ToleranceCase> { };

TEST_P(OrganizerExporterToleranceTest, ClipsEndingUpToFourHundredthsAfterTheFileAreTaken)
{
    const ToleranceCase& c = GetParam();
    const OrganizerItem item = videoItem("区間", "S1", c.start, c.end);
    const auto url = out / "out.mp4";
    OrganizerExporter exporter;
    const std::string message =
        renderMessage(exporter, documentWith({sourceAt("S1", movie(c.file), c.offset)}, {}), {item}, url);
    EXPECT_TRUE(temporary.leftovers().empty());
    if (!c.accepted) {
        EXPECT_EQ(message, "映像の範囲外です：区間。時刻とアングル補正を確認してください。");
        EXPECT_FALSE(std::filesystem::exists(url));
        return;
    }
    ASSERT_EQ(message, "");
    EXPECT_EQ(inspectMovie(url).frameTimes.size(), size_t(std::ceil((c.end - c.start) * 30 - 1e-9)));
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterToleranceTest, ::testing::ValuesIn(toleranceCases),
                         [](const auto& info) { return std::string(info.param.label); });

// Where a source's picture lands on the 1280 × 720 canvas: turned upright by
// its preferred transform, fitted whole and centred.
struct PlacementCase {
    const char* label;
    int width, height; // natural size
    AffineTransform preferred;
    MediaRect placed;       // the picture's rectangle on the canvas
    MediaPoint topLeftGoes; // where the stored picture's top-left corner lands
};

const PlacementCase placementCases[] = {
    {"FullHD", 1920, 1080, {}, {0, 0, 1280, 720}, {0, 0}},
    // A phone held upright: a quarter turn clockwise, 405 × 720 with bars of 437.5.
    {"PhoneQuarterTurn", 1920, 1080, {0, 1, -1, 0, 1080, 0}, {437.5, 0, 405, 720}, {842.5, 0}},
    // The same turn stored without its translation.
    {"QuarterTurnWithoutTranslation", 1920, 1080, {0, 1, -1, 0, 0, 0}, {437.5, 0, 405, 720}, {842.5, 0}},
    {"ThreeQuarterTurn", 1920, 1080, {0, -1, 1, 0, 0, 1920}, {437.5, 0, 405, 720}, {437.5, 720}},
    {"HalfTurn", 1280, 720, {-1, 0, 0, -1, 1280, 720}, {0, 0, 1280, 720}, {1280, 720}},
    {"FourByThree", 640, 480, {}, {160, 0, 960, 720}, {160, 0}},
    {"VeryWide", 1920, 400, {}, {0, 226.6666666, 1280, 266.6666667}, {0, 226.6666666}},
};

class OrganizerExporterPlacementTest : public ::testing::TestWithParam<PlacementCase> { };

TEST_P(OrganizerExporterPlacementTest, PictureIsTurnedUprightFittedAndCentred)
{
    const PlacementCase& c = GetParam();
    VideoTrackInfo video;
    video.width = c.width;
    video.height = c.height;
    video.preferredTransform = c.preferred;
    const AffineTransform placement = placementTransform(video);
    const MediaRect placed = placement.mapRect(MediaRect{0, 0, double(c.width), double(c.height)});
    EXPECT_NEAR(placed.x, c.placed.x, 1e-6);
    EXPECT_NEAR(placed.y, c.placed.y, 1e-6);
    EXPECT_NEAR(placed.width, c.placed.width, 1e-6);
    EXPECT_NEAR(placed.height, c.placed.height, 1e-6);
    const MediaPoint corner = placement.map(MediaPoint{0, 0});
    EXPECT_NEAR(corner.x, c.topLeftGoes.x, 1e-6);
    EXPECT_NEAR(corner.y, c.topLeftGoes.y, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterPlacementTest, ::testing::ValuesIn(placementCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(OrganizerExporterRenderTest, ItemTimesPlusTheSourceOffsetSelectTheSourceFrames)
{
    // Item 10–13 s on a source with offset 2 shows source seconds 12–15.
    const auto url = render(documentWith({sourceAt("S1", movie("slow.mp4"), 2)}, {}), {videoItem("a", "S1", 10, 13)});
    const struct {
        int outputFrame;
        int sourceFrame; // at 10 fps
    } expectations[] = {{0, 120}, {2, 120}, {3, 121}, {45, 135}, {89, 149}};
    EXPECT_EQ(inspectMovie(url).frameTimes.size(), 90u);
    for (const auto& e : expectations) {
        const TestFrame frame = decodeFrame(url, e.outputFrame);
        EXPECT_EQ(readFrameCode(frame, 0, 0, 1280, 720), e.sourceFrame) << "output frame " << e.outputFrame;
    }
}

TEST_F(OrganizerExporterRenderTest, QuarterTurnedPhoneClipComesOutUprightAndCentredWithBars)
{
    const auto phone = makePhoneMovie(out / "phone.mp4");
    const auto url = render(documentWith({sourceAt("S1", phone)}, {}), {videoItem("a", "S1", 0, 0.2)});

    // Upright the picture is 180 × 320; scaled by 2.25 it is 405 × 720 at x 437.5.
    const TestFrame ours = decodeFrame(url, 0);
    const TestFrame upright = decodeFrame(phone, 0); // ffmpeg turns it by its display matrix
    ASSERT_EQ(upright.width, 180);
    ASSERT_EQ(upright.height, 320);
    for (int x : {10, 300, 430, 845, 900, 1270}) {
        const TestFrame::Pixel bar = ours.pixel(x, 360);
        EXPECT_LT(bar.r + bar.g + bar.b, 40) << "bar at x " << x;
    }
    const SampleMatch match = comparePhonePlacement(ours, upright);
    EXPECT_GT(match.compared, 40);
    EXPECT_EQ(match.matched, match.compared);
}

TEST_F(OrganizerExporterRenderTest, LateAudioKeepsItsPlaceAgainstThePicture)
{
    TestMovieOptions late;
    late.durationSeconds = 3.0;
    late.audioDelaySeconds = 1.0;
    late.audioDurationSeconds = 2.0;
    makeTestMovie(out / "late.mp4", late);
    // A one-second title first: the clip's sound starts 1 s into the clip, at 2 s.
    const auto url = render(documentWith({sourceAt("S1", out / "late.mp4")}, {}),
                            {stillItem("t", "title", 1), videoItem("a", "S1", 0, 3)});
    const MovieFacts facts = inspectMovie(url);
    ASSERT_TRUE(facts.hasAudio);
    EXPECT_EQ(facts.audioCodec, "aac");
    EXPECT_EQ(facts.sampleRate, 48000);
    EXPECT_EQ(facts.channels, 2);
    const std::vector<float> samples = decodeAudioMono(url, 8000);
    ASSERT_GE(samples.size(), size_t(3.9 * 8000));
    EXPECT_LT(rmsLevel(samples, 0, size_t(1.9 * 8000)), 0.01);
    EXPECT_GT(rmsLevel(samples, size_t(2.1 * 8000), size_t(3.9 * 8000)), 0.05);
}

TEST_F(OrganizerExporterRenderTest, SlidesOnlyHaveNoAudioStream)
{
    OrganizerItem freeze = stillItem("f", "freeze", 0.5);
    freeze.sourceID = "S1";
    freeze.sourceIDs = {"S1"};
    freeze.freezeTime = 1.0;
    const std::vector<OrganizerItem> items{stillItem("t", "title", 0.5), freeze};
    const auto url = render(documentWith({sourceAt("S1", movie("counter.mp4"))}, items), items);
    const MovieFacts facts = inspectMovie(url);
    EXPECT_TRUE(facts.hasVideo);
    EXPECT_FALSE(facts.hasAudio);
}

TEST_F(OrganizerExporterRenderTest, ClipsWithSoundKeepItAcrossSilentItems)
{
    const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 1), videoItem("b", "S2", 0, 1)};
    const auto url =
        render(documentWith({sourceAt("S1", movie("counter.mp4")), sourceAt("S2", movie("blue.mp4"))}, {}), items);
    const std::vector<float> samples = decodeAudioMono(url, 8000);
    EXPECT_GT(rmsLevel(samples, 800, 7200), 0.05);
    EXPECT_LT(rmsLevel(samples, 8800, 15200), 0.01);
}

TEST_F(OrganizerExporterRenderTest, PlainMarksShowExactlyDuringTheirItem)
{
    const OrganizerMark arrow = middleArrow();
    std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 0.5), videoItem("b", "S1", 0.5, 1),
                                     videoItem("c", "S1", 1, 1.5)};
    items[1].marks = std::vector<OrganizerMark>{arrow};
    items[2].marks = std::vector<OrganizerMark>{};
    const auto url = render(documentWith({sourceAt("S1", movie("blue.mp4"))}, {}), items);
    const std::vector<TestFrame> frames = decodeAllFrames(url, 640, 360);
    ASSERT_EQ(frames.size(), 45u);
    for (size_t k = 0; k < frames.size(); ++k) {
        const bool during = k >= 15 && k < 30;
        // The shaft runs along the middle row from x 64 to 576 (at half size).
        EXPECT_EQ(markNear(frames[k], 320, 180), during) << "frame " << k;
        EXPECT_EQ(markNear(frames[k], 100, 180), during) << "frame " << k;
        EXPECT_FALSE(markNear(frames[k], 320, 60)) << "frame " << k;
    }
    saveForReview(frames[20], "playlist-plain-marks.png");
}

TEST_F(OrganizerExporterRenderTest, ManyMarkedItemsStillShowEachItemsMarksInItsOwnFrames)
{
    // More marked items than overlay pictures are held for: the compositor
    // draws them, one frame per item, arrows alternating high and low.
    std::vector<OrganizerItem> items;
    for (int k = 0; k < 130; ++k) {
        const double start = (k % 50) / 30.0;
        OrganizerItem item = videoItem("i" + std::to_string(k), "S1", start, start + 1 / 30.0);
        OrganizerMark arrow = middleArrow();
        arrow.y = arrow.y2 = k % 2 == 0 ? 0.8 : 0.2;
        item.marks = std::vector<OrganizerMark>{arrow};
        items.push_back(item);
    }
    const std::vector<TestFrame> frames =
        decodeAllFrames(render(documentWith({sourceAt("S1", movie("blue.mp4"))}, {}), items), 640, 360);
    ASSERT_EQ(frames.size(), items.size());
    for (size_t k = 0; k < frames.size(); ++k) {
        const bool high = k % 2 == 0;
        EXPECT_EQ(markNear(frames[k], 320, 72), high) << "frame " << k;
        EXPECT_EQ(markNear(frames[k], 320, 288), !high) << "frame " << k;
    }
}

// Pixels that are not the flat blue of the source, away from the middle row
// where the plain arrow runs.
int changedPixels(const TestFrame& frame)
{
    int count = 0;
    for (int y = 0; y < frame.height; ++y) {
        if (std::abs(y - frame.height / 2) < 12) continue;
        for (int x = 0; x < frame.width; ++x) {
            const TestFrame::Pixel p = frame.pixel(x, y);
            count += !(p.b > 180 && p.r < 70 && p.g < 70);
        }
    }
    return count;
}

// Only the stretches of items with telestration marks go through the
// compositor, which draws their plain marks too; every other stretch takes the
// plain road. A stretch sent down the wrong road shows marks not its own, or
// loses its own.
TEST_F(OrganizerExporterRenderTest, EachStretchShowsItsOwnMarksWhicheverRoadItTakes)
{
    OrganizerMark ring;
    ring.kind = "gxl";
    ring.gxl = GXLSettings::material("Player Ring");
    ring.gxl->points = {GXLPoint{0.5, 0.3}};
    const struct {
        const char* name;
        bool arrow;
        bool ring;
    } stretches[] = {{"arrow", true, false}, {"ring", false, true}, {"none", false, false}, {"both", true, true}};
    std::vector<OrganizerItem> items;
    for (const auto& stretch : stretches) {
        OrganizerItem item = videoItem(stretch.name, "S1", 0, 0.3);
        std::vector<OrganizerMark> marks;
        if (stretch.arrow) marks.push_back(middleArrow());
        if (stretch.ring) marks.push_back(ring);
        item.marks = marks;
        items.push_back(item);
    }
    const OrganizerDocument document = documentWith({sourceAt("S1", movie("blue.mp4"))}, {});
    const std::vector<TestFrame> frames = decodeAllFrames(render(document, items), 640, 360);
    ASSERT_EQ(frames.size(), 36u);
    for (size_t k = 0; k < frames.size(); ++k) {
        const auto& stretch = stretches[k / 9];
        EXPECT_EQ(markNear(frames[k], 320, 180), stretch.arrow) << stretch.name << " frame " << k;
        if (!stretch.ring) {
            EXPECT_EQ(changedPixels(frames[k]), 0) << stretch.name << " frame " << k;
        } else if (k % 9 == 8) { // the ring may grow in from nothing
            EXPECT_GT(changedPixels(frames[k]), 200) << stretch.name << " frame " << k;
        }
    }
    saveForReview(frames[17], "playlist-telestration-last-frame.png");
}

// Telestration is blended into the video where the marks draw, in YUV: inside
// the mark the output shows the colours the engine draws over the same video
// in RGB, and away from it the video is left as it was.
TEST_F(OrganizerExporterRenderTest, TelestrationKeepsTheColoursDrawnInRgb)
{
    OrganizerMark ring;
    ring.kind = "gxl";
    ring.gxl = GXLSettings::material("Player Ring");
    ring.gxl->color = {1, 0.6, 0.1, 1};
    ring.gxl->size = 300;
    const OrganizerDocument document = documentWith({sourceAt("S1", movie("blue.mp4"))}, {});
    OrganizerItem item = videoItem("ring", "S1", 0, 0.2);
    item.marks = std::vector<OrganizerMark>{ring};
    const std::vector<TestFrame> frames = decodeAllFrames(render(document, {item}), 1280, 720);
    ASSERT_EQ(frames.size(), 6u);
    const TestFrame& frame = frames[3];
    const TestFrame::Pixel under = frame.pixel(20, 20);
    QImage video(1280, 720, QImage::Format_ARGB32_Premultiplied);
    video.fill(QColor(under.r, under.g, under.b));
    const QImage expected = soccerFrame({ring}, video, 3.0 / 30, false);
    const QImage overlay = soccerFrame({ring}, QImage(), 3.0 / 30, true);
    long error = 0, inside = 0, outside = 0;
    for (int y = 1; y < 719; ++y)
        for (int x = 1; x < 1279; ++x) {
            const TestFrame::Pixel p = frame.pixel(x, y);
            if (qAlpha(overlay.pixel(x, y)) == 0) {
                outside += std::abs(p.b - under.b) > 3;
                continue;
            }
            bool solid = true; // away from the mark's edges, where chroma is shared with the video
            for (int d : {-1, 1})
                solid = solid && qAlpha(overlay.pixel(x + d, y)) == 255 && qAlpha(overlay.pixel(x, y + d)) == 255;
            if (!solid || qAlpha(overlay.pixel(x, y)) != 255) continue;
            const QRgb e = expected.pixel(x, y);
            error += std::abs(p.r - qRed(e)) + std::abs(p.g - qGreen(e)) + std::abs(p.b - qBlue(e));
            ++inside;
        }
    ASSERT_GT(inside, 500) << "the ring must be drawn solid for this test to mean anything";
    EXPECT_LE(double(error) / double(inside * 3), 8.0) << "mean difference a channel inside the ring";
    EXPECT_LE(outside, 1280 * 720 / 1000) << "the video changes only where the mark draws";
}

TEST_F(OrganizerExporterRenderTest, MarkFailingInTheMiddleOfTheExportLeavesNoFile)
{
    // The second item's telestration settings are out of range (handed over on
    // their own, past the document's validation): its first frame fails the
    // export, which then ends with the frame engine's own message.
    OrganizerMark ring;
    ring.kind = "gxl";
    ring.gxl = GXLSettings::material("Player Ring");
    ring.gxl->points = {GXLPoint{0.5, 0.3}};
    ring.gxl->size = 1;
    std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 1), videoItem("b", "S1", 1, 1.5)};
    items[1].marks = std::vector<OrganizerMark>{ring};
    const auto url = out / "out.mp4";
    OrganizerExporter exporter;
    std::vector<ProgressStep> steps;
    EXPECT_EQ(renderMessage(exporter, documentWith({sourceAt("S1", movie("blue.mp4"))}, {}), items, url, &steps),
              "GXLツールの設定が不正です。");
    EXPECT_FALSE(std::filesystem::exists(url));
    EXPECT_TRUE(temporary.leftovers().empty());
    for (const ProgressStep& step : steps) EXPECT_EQ(step.text.find("保存しました"), std::string::npos);
}

} // namespace
} // namespace zanto::test
