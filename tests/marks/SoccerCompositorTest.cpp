#include "marks/SoccerCompositor.h"

#include "marks/GXLEngine.h"
#include "platform/media/CompositionExport.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieWriter.h"
#include "services/ExportFailure.h"
#include "support/GuiTestEnvironment.h"
#include "support/TableNames.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <future>
#include <set>
#include <thread>

namespace zanto {
namespace {

// Mown grass as broadcast video shows it (what the ground key takes for turf).
const QColor turf = QColor::fromRgbF(0.26f, 0.40f, 0.13f);

MediaTime sec(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

MediaTimeRange span(double start, double duration)
{
    return {sec(start), sec(duration)};
}

OrganizerMark ringAt(double x, double y, const std::string& tool = "Player Ring", double size = 90)
{
    GXLSettings settings{tool, {{x, y}}};
    settings.color = {1, 0, 0, 1};
    settings.opacity = 100;
    settings.size = size;
    return OrganizerMark{"gxl", x, y, x, y, "", settings};
}

QImage solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Fits a picture of w x h whole into the canvas, upright and centred, the way
// the playlist exporter builds its placements.
AffineTransform placement(const AffineTransform& preferred, double w, double h)
{
    const MediaRect r = preferred.mapRect({0, 0, w, h});
    const double s = std::min(1280 / r.width, 720 / r.height);
    return preferred.then(AffineTransform::translation(-r.x, -r.y))
        .then(AffineTransform::scaling(s, s))
        .then(AffineTransform::translation((1280 - r.width * s) / 2, (720 - r.height * s) / 2));
}

struct Outcome {
    QImage frame;
    std::string error; // the message, or empty
};

Outcome outcomeOf(SoccerCompositor& compositor, const QImage& source, MediaTime time, int index)
{
    const CompositionInstruction unused;
    try {
        return {compositor.compose(CompositorRequest{source, time, index, unused}), ""};
    } catch (const ExportFailure& error) {
        return {QImage(), error.message};
    }
}

struct FailingRequest {
    const char* name;
    int instructionIndex;
    bool withSource;
    friend void PrintTo(const FailingRequest& c, std::ostream* os) { *os << c.name; }
};
class RequestFailures : public ::testing::TestWithParam<FailingRequest> { };

TEST_P(RequestFailures, NoFrameToWorkOn)
{
    SoccerCompositor compositor({SoccerInstruction(span(0, 1), 1, {}, {})});
    const FailingRequest c = GetParam();
    const Outcome outcome =
        outcomeOf(compositor, c.withSource ? solid(1280, 720, turf) : QImage(), sec(0.5), c.instructionIndex);
    EXPECT_TRUE(outcome.frame.isNull());
    EXPECT_EQ(outcome.error, "映像フレームを取得できません。");
}
INSTANTIATE_TEST_SUITE_P(Cases, RequestFailures,
                         ::testing::Values(FailingRequest{"NoSourceFrame", 0, false},
                                           FailingRequest{"IndexPastTheEnd", 1, true},
                                           FailingRequest{"NegativeIndex", -1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// This process's threads named as the serial queue's.
int queueThreads()
{
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name == std::string(SoccerCompositor::queueLabel).substr(0, 15);
    }
    return count;
}

// Drawing overlays runs on the callers' threads: the queue's thread starts
// with the first frame request, not before.
TEST(SoccerCompositor, StartsItsQueueThreadWithItsFirstRequest)
{
    const std::vector<SoccerInstruction> segments{SoccerInstruction(span(0, 1), 1, {}, {ringAt(0.5, 0.5)})};
    const OverlayCompositor overlays = SoccerCompositor::overlayCompositor(segments);
    overlays.draw(OverlayRequest{sec(0), 0, QImage(), QRect()});
    SoccerCompositor compositor(segments);
    EXPECT_EQ(queueThreads(), 0);
    EXPECT_EQ(outcomeOf(compositor, solid(1280, 720, turf), sec(0), 0).error, "");
    EXPECT_EQ(queueThreads(), 1);
}

TEST(SoccerCompositor, SegmentWithoutMarksShowsThePlacedFrameUnchanged)
{
    QImage source = solid(1280, 720, Qt::blue);
    QPainter(&source).fillRect(0, 0, 640, 360, Qt::red);
    SoccerCompositor compositor({SoccerInstruction(span(0, 1), 1, {}, {})});
    const Outcome outcome = outcomeOf(compositor, source, sec(0.2), 0);
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.frame, source);
}

TEST(SoccerCompositor, BarsAroundASmallerFrameAreOpaqueBlack)
{
    const AffineTransform fit = placement({}, 640, 480); // 960 x 720 from x = 160
    SoccerCompositor compositor({SoccerInstruction(span(0, 1), 1, fit, {ringAt(0.5, 0.5)})});
    const QImage frame = outcomeOf(compositor, solid(640, 480, turf), sec(0), 0).frame;
    ASSERT_FALSE(frame.isNull());
    for (int x : {0, 80, 158, 1122, 1200, 1279}) {
        EXPECT_EQ(frame.pixel(x, 100), qRgba(0, 0, 0, 255)) << x;
        EXPECT_EQ(frame.pixel(x, 700), qRgba(0, 0, 0, 255)) << x;
    }
    EXPECT_EQ(frame.pixel(170, 100), turf.rgba());
    EXPECT_EQ(frame.pixel(1110, 700), turf.rgba());
}

// Each segment's marks begin their animation at its own first frame.
TEST(SoccerCompositor, EverySegmentStartsItsMarksAtTimeZero)
{
    const std::vector<OrganizerMark> marks = {ringAt(0.5, 0.5)};
    const std::vector<double> starts = {0, 1, 2.5};
    std::vector<SoccerInstruction> segments;
    for (double start : starts) segments.emplace_back(span(start, 1), 1, AffineTransform{}, marks);
    SoccerCompositor compositor(segments);
    const QImage source = solid(1280, 720, turf);
    const QImage atZero = soccerFrame(marks, source, 0, false);
    const QImage atThird = soccerFrame(marks, source, 10.0 / 30, false);
    ASSERT_NE(atZero, atThird) << "the mark must move for this test to mean anything";
    for (size_t i = 0; i < starts.size(); ++i) {
        const MediaTime first = MediaTime::fromSeconds(starts[i], 30);
        EXPECT_EQ(outcomeOf(compositor, source, first, int(i)).frame, atZero) << "segment " << i;
        EXPECT_EQ(outcomeOf(compositor, source, first + MediaTime{10, 30}, int(i)).frame, atThird) << "segment " << i;
    }
}

// Drawn over the frames from several threads at once, each frame gets its
// own segment's marks at its own time, as drawn one by one, also after a
// failed draw.
TEST(SoccerCompositor, OverlaysDrawnAtOnceAreEachTheirOwn)
{
    OrganizerMark broken = ringAt(0.5, 0.5);
    broken.gxl->size = 5;
    const std::vector<std::vector<OrganizerMark>> marks = {
        {ringAt(0.3, 0.5)}, {ringAt(0.7, 0.4, "Ground Ring"), ringAt(0.2, 0.2, "Passing Lane")}, {broken}};
    std::vector<SoccerInstruction> segments;
    for (size_t i = 0; i < marks.size(); ++i) segments.emplace_back(span(double(i), 1), 1, AffineTransform{}, marks[i]);
    const OverlayCompositor compositor = SoccerCompositor::overlayCompositor(segments);
    const QImage grass = solid(1280, 720, turf);
    auto expected = [&](int segment, int frame) {
        return soccerFrame(marks[size_t(segment)], grass, frame / 30.0, true);
    };
    auto draw = [&](int segment, int frame) {
        const MediaTime time = sec(segment) + MediaTime{frame, 30};
        const QRect read = compositor.sourceArea(time, segment);
        const QImage area = read.isEmpty() ? QImage() : grass.copy(read);
        QImage laid = solid(1280, 720, Qt::transparent);
        QPainter painter(&laid);
        for (const CompositorLayer& layer : compositor.draw(OverlayRequest{time, segment, area, read}).layers)
            painter.drawImage(0, 0, layer.picture);
        return laid;
    };
    std::vector<std::future<bool>> threads;
    for (int segment : {0, 1, 0, 1})
        threads.push_back(std::async(std::launch::async, [&, segment] {
            bool same = true;
            for (int frame = 0; frame < 8; ++frame) {
                EXPECT_THROW(draw(2, frame), ExportFailure);
                same = same && draw(segment, frame) == expected(segment, frame);
            }
            return same;
        }));
    for (auto& thread : threads) EXPECT_TRUE(thread.get());
}

TEST(SoccerCompositor, GroundMarkIsKeyedToThisRequestsFrame)
{
    SoccerCompositor compositor({SoccerInstruction(span(0, 1), 1, {}, {ringAt(0.5, 0.5, "Ground Ring")})});
    const QImage grass = solid(1280, 720, turf);
    const QImage stand = solid(1280, 720, QColor(200, 40, 200));
    EXPECT_NE(outcomeOf(compositor, grass, sec(0), 0).frame, grass) << "drawn on the turf";
    EXPECT_EQ(outcomeOf(compositor, stand, sec(0), 0).frame, stand) << "nothing off the turf";
    EXPECT_NE(outcomeOf(compositor, grass, sec(0.5), 0).frame, grass) << "the next frame is its own";
}

TEST(SoccerCompositor, FailingMarkFailsOnlyItsRequest)
{
    OrganizerMark broken = ringAt(0.5, 0.5);
    broken.gxl->size = 5;
    SoccerCompositor compositor(
        {SoccerInstruction(span(0, 1), 1, {}, {broken}), SoccerInstruction(span(1, 1), 1, {}, {ringAt(0.5, 0.5)})});
    const QImage source = solid(1280, 720, turf);
    EXPECT_EQ(outcomeOf(compositor, source, sec(0.5), 0).error, "GXLツールの設定が不正です。");
    const Outcome next = outcomeOf(compositor, source, sec(1.5), 1);
    EXPECT_EQ(next.error, "");
    EXPECT_FALSE(next.frame.isNull());
}

struct Finished {
    std::atomic<int> count{0};
    std::mutex mutex;
    std::set<std::thread::id> threads;
};

void startMany(SoccerCompositor& compositor, const QImage& source, int requests, Finished& finished)
{
    const CompositionInstruction unused;
    for (int i = 0; i < requests; ++i) {
        compositor.startRequest(CompositorRequest{source, MediaTime{i, 30}, 0, unused},
                                [&finished](QImage frame, std::exception_ptr error) {
                                    EXPECT_FALSE(frame.isNull());
                                    EXPECT_FALSE(error);
                                    std::lock_guard guard(finished.mutex);
                                    finished.threads.insert(std::this_thread::get_id());
                                    ++finished.count;
                                });
    }
}

TEST(SoccerCompositor, CancelAllReturnsAfterTheQueuedRequestsFinished)
{
    SoccerCompositor compositor({SoccerInstruction(span(0, 1), 1, {}, {ringAt(0.4, 0.4), ringAt(0.6, 0.6)})});
    Finished finished;
    startMany(compositor, solid(1280, 720, turf), 3, finished);
    compositor.cancelAllPendingVideoCompositionRequests();
    EXPECT_EQ(finished.count, 3);
    // One serial queue of its own, never the caller's thread.
    ASSERT_EQ(finished.threads.size(), 1u);
    EXPECT_NE(*finished.threads.begin(), std::this_thread::get_id());
}

TEST(SoccerCompositor, GoingAwayFinishesWhatWasQueued)
{
    Finished finished;
    {
        SoccerCompositor compositor({SoccerInstruction(span(0, 1), 1, {}, {ringAt(0.5, 0.5)})});
        startMany(compositor, solid(1280, 720, turf), 2, finished);
    }
    EXPECT_EQ(finished.count, 2);
}

// Real movies through the media layer's composition export.
class SoccerExport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new test::TempDir("zanto-soccer-");
        test::TestMovieOptions grass;
        grass.width = 320;
        grass.height = 180;
        grass.durationSeconds = 1;
        grass.audio = false;
        grass.picture = test::TestPicture::Solid;
        grass.colour = "0x42661F";
        test::makeTestMovie(path("grass.mp4"), grass);
        test::TestMovieOptions phone = grass;
        phone.picture = test::TestPicture::Bars;
        phone.rotationDegrees = 90;
        test::makeTestMovie(path("phone.mp4"), phone);
    }
    static void TearDownTestSuite() { delete folder_; }
    static std::filesystem::path path(const char* name) { return folder_->path() / name; }

    static Composition clips(const std::filesystem::path& file, int count, double length)
    {
        Composition composition;
        for (int i = 0; i < count; ++i) composition.video.push_back({file, span(0, length), sec(i * length)});
        composition.duration = sec(count * length);
        return composition;
    }

    static test::TempDir* folder_;
};
test::TempDir* SoccerExport::folder_ = nullptr;

double meanDifference(const test::TestFrame& a, const test::TestFrame& b)
{
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const auto p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
    return sum / (3.0 * a.width * a.height);
}

// A phone clip comes out upright, exactly where the plain export puts it.
TEST_F(SoccerExport, RotatedClipIsPlacedLikeThePlainExport)
{
    const MediaAsset asset = MediaAsset::load(path("phone.mp4"));
    ASSERT_TRUE(asset.video);
    const AffineTransform fit = placement(asset.video->preferredTransform, asset.video->width, asset.video->height);
    ASSERT_EQ(asset.video->preferredTransform.quarterTurns() % 2, 1) << "the clip must be turned";

    Composition plain = clips(path("phone.mp4"), 1, 0.5);
    plain.instructions = {{span(0, 0.5), fit}};
    CompositionExport(plain, path("plain.mp4")).run();

    Composition telestrated = clips(path("phone.mp4"), 1, 0.5);
    SoccerCompositor::install(telestrated, {SoccerInstruction(span(0, 0.5), 1, fit, {})});
    CompositionExport(telestrated, path("telestrated.mp4")).run();

    const test::TestFrame a = test::decodeFrame(path("plain.mp4"), 5);
    const test::TestFrame b = test::decodeFrame(path("telestrated.mp4"), 5);
    ASSERT_EQ(a.width, 1280);
    ASSERT_EQ(b.width, 1280);
    EXPECT_LT(meanDifference(a, b), 3.0);
    // 405 x 720 in the middle, black bars of 437.5 pixels on both sides.
    for (int x : {100, 1180}) EXPECT_LT(b.pixel(x, 360).g, 20) << x;
}

// Counts pixels around a point that are clearly not grass.
int markedPixelsNear(const test::TestFrame& frame, int cx, int cy)
{
    int count = 0;
    for (int y = std::max(0, cy - 100); y < std::min(frame.height, cy + 100); ++y)
        for (int x = std::max(0, cx - 150); x < std::min(frame.width, cx + 150); ++x) {
            const auto p = frame.pixel(x, y);
            count += p.r > 150 && p.g < 100;
        }
    return count;
}

TEST_F(SoccerExport, EachSegmentShowsItsOwnMarks)
{
    Composition composition = clips(path("grass.mp4"), 2, 0.5);
    SoccerCompositor::install(composition,
                              {SoccerInstruction(span(0, 0.5), 1, placement({}, 320, 180), {ringAt(0.25, 0.5)}),
                               SoccerInstruction(span(0.5, 0.5), 1, placement({}, 320, 180), {ringAt(0.75, 0.5)})});
    ASSERT_EQ(composition.instructions.size(), 2u);
    CompositionExport(composition, path("two.mp4")).run();
    const test::TestFrame first = test::decodeFrame(path("two.mp4"), 3);
    const test::TestFrame second = test::decodeFrame(path("two.mp4"), 18);
    EXPECT_GT(markedPixelsNear(first, 320, 360), 50);
    EXPECT_EQ(markedPixelsNear(first, 960, 360), 0);
    EXPECT_EQ(markedPixelsNear(second, 320, 360), 0);
    EXPECT_GT(markedPixelsNear(second, 960, 360), 50);
}

// Mean difference per channel between a decoded frame and a picture over `area`.
double areaDifference(const test::TestFrame& frame, const QImage& picture, const QRect& area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const auto p = frame.pixel(x, y);
            const QRgb q = picture.pixel(x, y);
            sum += std::abs(p.r - qRed(q)) + std::abs(p.g - qGreen(q)) + std::abs(p.b - qBlue(q));
        }
    return sum / (3.0 * area.width() * area.height());
}

struct MarkOnVideo {
    const char* name;
    OrganizerMark mark;
    QRect area; // on the canvas, where the mark draws
};

OrganizerMark plain(const std::string& kind, double x, double y, double x2, double y2, const std::string& text = "")
{
    return OrganizerMark{kind, x, y, x2, y2, text, std::nullopt};
}

// Every kind of mark of one item, through a real export of decoded video: each
// lands where the frame engine draws it over that same video, upright.
TEST_F(SoccerExport, EveryKindOfMarkIsDrawnOverTheDecodedVideo)
{
    const std::vector<MarkOnVideo> cases = {
        {"arrow", plain("arrow", 0.1, 0.2, 0.4, 0.2), QRect(120, 550, 400, 50)},
        {"circle", plain("circle", 0.55, 0.1, 0.75, 0.3), QRect(690, 495, 280, 160)},
        {"text", plain("text", 0.1, 0.75, 0, 0, "パス"), QRect(120, 130, 120, 55)},
        {"ring", ringAt(0.3, 0.55), QRect(300, 260, 170, 130)},
        {"ground ring", ringAt(0.75, 0.6, "Ground Ring"), QRect(870, 220, 180, 140)},
    };
    std::vector<OrganizerMark> marks;
    for (const MarkOnVideo& c : cases) marks.push_back(c.mark);
    Composition composition = clips(path("grass.mp4"), 1, 0.5);
    SoccerCompositor::install(composition, {SoccerInstruction(span(0, 0.5), 1, placement({}, 320, 180), marks)});
    CompositionExport(composition, path("every-kind.mp4")).run();

    const test::TestFrame exported = test::decodeFrame(path("every-kind.mp4"), 3);
    const test::TestFrame source = test::decodeFrame(path("grass.mp4"), 3);
    const auto grassPixel = source.pixel(160, 90);
    const QImage grass = solid(1280, 720, QColor(grassPixel.r, grassPixel.g, grassPixel.b));
    const QImage expected = soccerFrame(marks, grass, 3.0 / 30, false);
    ASSERT_EQ(exported.width, 1280);
    for (const MarkOnVideo& c : cases) {
        const double toBareVideo = areaDifference(exported, grass, c.area);
        const double toExpected = areaDifference(exported, expected, c.area);
        EXPECT_GT(toBareVideo, 4.0) << c.name << " is missing";
        EXPECT_LT(toExpected, toBareVideo / 3) << c.name << " is not where the engine draws it";
    }
}

// A still of turf with a white line, written as the playlist writes its
// freeze stills, followed by moving bars: 15 frames of each.
struct StillThenVideo {
    test::TempDir folder;
    std::filesystem::path still = folder / "still.mov";
    std::filesystem::path video = folder / "video.mp4";

    StillThenVideo()
    {
        QImage picture = solid(1280, 720, turf);
        QPainter(&picture).fillRect(200, 300, 900, 12, Qt::white);
        // As a slide is written: one frame that lasts the still's stretch.
        MovieWriter writer(
            still, {.frameDuration = MediaTime{15, 30}, .container = MovieContainer::QuickTime, .intermediate = true});
        writer.appendVideoFrame(picture, MediaTime::zero());
        writer.finish();
        test::makeTestMovie(
            video,
            {.width = 1280, .height = 720, .durationSeconds = 0.5, .picture = test::TestPicture::Bars, .audio = false});
    }

    // Every frame, as ffmpeg decodes it: yuv420p bytes.
    std::string exported(const std::vector<OrganizerMark>& marks, MarkLayers layers, const std::string& name) const
    {
        Composition composition;
        std::vector<SoccerInstruction> instructions;
        for (const auto& [file, at] : {std::pair{still, 0.0}, std::pair{video, 0.5}}) {
            const MediaTimeRange range{MediaTime{int64_t(at * 30), 30}, MediaTime{15, 30}};
            composition.video.push_back({file, {MediaTime::zero(), MediaTime{15, 30}}, range.start});
            composition.instructions.push_back({range, AffineTransform{}});
            instructions.emplace_back(range, 1, AffineTransform{}, marks);
        }
        composition.duration = MediaTime{30, 30};
        composition.overlayCompositor = SoccerCompositor::overlayCompositor(instructions, layers, {true, false});
        const std::filesystem::path out = folder / (name + ".mp4");
        CompositionExport(composition, out).run();
        return test::runTool("ffmpeg",
                             {"-v", "error", "-i", out.string(), "-f", "rawvideo", "-pix_fmt", "yuv420p", "-"});
    }
};

// The largest difference of one sample between frame `k` of two exports.
int largestDifference(const std::string& a, const std::string& b, int k)
{
    const size_t frame = 1280 * 720 * 3 / 2;
    int largest = 0;
    for (size_t i = size_t(k) * frame; i < size_t(k + 1) * frame; ++i)
        largest = std::max(largest, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
    return largest;
}

class SplitLayers : public ::testing::TestWithParam<std::string> { };

// Each tool drawn the split way gives the frames it gives drawn whole, over
// a still and over moving video: first, middle and last frames of each.
TEST_P(SplitLayers, GiveTheFramesDrawnWhole)
{
    static const StillThenVideo movies;
    static const std::string unmarked = movies.exported({}, MarkLayers::Split, "unmarked");
    OrganizerMark mark{"gxl", 0.5, 0.5, 0.5, 0.5, "", GXLSettings::material(GetParam())};
    const std::string split = movies.exported({mark}, MarkLayers::Split, "split");
    const std::string whole = movies.exported({mark}, MarkLayers::Whole, "whole");
    ASSERT_EQ(split.size(), size_t(30 * 1280 * 720 * 3 / 2));
    ASSERT_EQ(whole.size(), split.size());
    bool drawn = false;
    for (int k : {0, 1, 7, 14, 15, 22, 29}) {
        EXPECT_LE(largestDifference(split, whole, k), 1) << "frame " << k;
        drawn = drawn || largestDifference(split, unmarked, k) > 8;
    }
    EXPECT_TRUE(drawn) << "the tool must draw for this test to mean anything";
}
INSTANTIATE_TEST_SUITE_P(Tools, SplitLayers, ::testing::ValuesIn(GXLSettings::tools()),
                         [](const auto& info) { return test::caseName(info.param); });

} // namespace
} // namespace zanto
