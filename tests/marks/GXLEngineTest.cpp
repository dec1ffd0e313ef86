#include "marks/GXLEngine.h"

#include "marks/MarkerBounds.h"
#include "marks/MarkerRenderer.h"
#include "marks/OrganizerMarkDrawing.h"
#include "services/ExportFailure.h"
#include "support/GuiTestEnvironment.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegion>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <thread>

namespace zanto {

// Reaches the engine's private state, for the tests that need to hold its
// lock or to know whether its renderer was made.
struct GXLEngineTestAccess {
    static std::mutex& lock() { return GXLEngine::shared().lock_; }
    static bool hasRenderer()
    {
        std::lock_guard guard(lock());
        return GXLEngine::shared().renderer_ != nullptr;
    }
};

namespace {

// Mown grass as broadcast video shows it (what the ground key takes for turf).
const QColor turf = QColor::fromRgbF(0.26f, 0.40f, 0.13f);

GXLSettings settingsOf(const std::string& tool, std::vector<GXLPoint> points, std::vector<double> color = {1, 0, 0, 1})
{
    GXLSettings settings{tool, std::move(points)};
    settings.color = std::move(color);
    settings.opacity = 100;
    return settings;
}

OrganizerMark gxlMark(const GXLSettings& settings)
{
    const GXLPoint& first = settings.points.front();
    const GXLPoint& last = settings.points.back();
    return OrganizerMark{"gxl", first.x, first.y, last.x, last.y, "", settings};
}

OrganizerMark plainMark(const std::string& kind, double x, double y, double x2, double y2, const std::string& text = "")
{
    return OrganizerMark{kind, x, y, x2, y2, text, std::nullopt};
}

OrganizerMark ring(double x, double y, std::vector<double> color = {1, 0, 0, 1})
{
    return gxlMark(settingsOf("Player Ring", {{x, y}}, std::move(color)));
}

OrganizerMark groundRing(double x, double y)
{
    return gxlMark(settingsOf("Ground Ring", {{x, y}}));
}

QImage solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Top half red, bottom half blue, left quarter green: shows scale, placement
// and that nothing is turned or mirrored.
QImage patterned(int width, int height)
{
    QImage image = solid(width, height, Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, width, height / 2, Qt::red);
    painter.fillRect(0, 0, width / 4, height, Qt::green);
    return image;
}

int countDifferent(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// The largest difference of one channel between two pictures of one size.
int largestStep(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return largest;
}

int countCovered(const QImage& image)
{
    return countDifferent(image, solid(image.width(), image.height(), Qt::transparent));
}

bool premultiplied(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int a = qAlpha(p);
            if (qRed(p) > a || qGreen(p) > a || qBlue(p) > a) return false;
        }
    return true;
}

std::string messageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ExportFailure& error) {
        return error.message;
    } catch (const std::exception& error) {
        return std::string("other error: ") + error.what();
    }
    return "no error";
}

void saveForInspection(const QImage& image, const QString& name)
{
    QDir().mkpath(ZANTO_TEST_OUTPUT_DIR);
    image.save(QString(ZANTO_TEST_OUTPUT_DIR) + "/" + name);
}

struct BrokenResources {
    const char* name;
    const char* shaderText; // the shader file's content, or null for no file
    const char* message;    // what every call reports (other errors: "other error: ...")
};

// Runs first, while the engine has made no renderer yet: a renderer that could
// not be made is tried again on every call, and the renderer's own errors go
// out unchanged.
TEST(GXLEngineLoading, BrokenResourcesFailEveryCallUntilTheShaderIsThere)
{
    if (GXLEngineTestAccess::hasRenderer()) GTEST_SKIP() << "the renderer was made earlier";
    const BrokenResources cases[] = {
        {"no shader file", nullptr, "GXL描画エンジンを読み込めません。"},
        {"shader that does not compile", "void main() { this is not GLSL }", "other error: "},
        {"shader not in UTF-8", "\xff\xfe\x80", "other error: "},
    };
    const char* saved = std::getenv("ZANTO_RESOURCES");
    const std::string previous = saved ? saved : "";
    for (const BrokenResources& c : cases) {
        const test::TempDir folder;
        if (c.shaderText) {
            QFile file(QString::fromStdString((folder.path() / MarkerRenderer::shaderResourceName).string()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.shaderText);
        }
        setenv("ZANTO_RESOURCES", folder.path().c_str(), 1);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const std::string message = messageOf([] { soccerFrame({ring(0.5, 0.5)}, QImage(), 0, true); });
            EXPECT_EQ(message.substr(0, std::strlen(c.message)), c.message) << c.name << ": " << message;
            EXPECT_NE(message, "no error") << c.name;
            EXPECT_FALSE(GXLEngineTestAccess::hasRenderer()) << c.name;
        }
    }
    if (saved)
        setenv("ZANTO_RESOURCES", previous.c_str(), 1);
    else
        unsetenv("ZANTO_RESOURCES");
    EXPECT_GT(countCovered(soccerFrame({ring(0.5, 0.5)}, QImage(), 0, true)), 100);
    EXPECT_TRUE(GXLEngineTestAccess::hasRenderer());
}

TEST(SoccerFrame, EmptyListWithoutVideoIsTransparent)
{
    for (bool overlayOnly : {false, true}) {
        const QImage frame = soccerFrame({}, QImage(), 0, overlayOnly);
        ASSERT_EQ(frame.size(), QSize(1280, 720));
        EXPECT_EQ(frame.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(frame.bytesPerLine(), 5120);
        EXPECT_EQ(countCovered(frame), 0);
    }
    // An overlay holds the marks alone, never the video.
    EXPECT_EQ(countCovered(soccerFrame({}, solid(1920, 1080, turf), 0, true)), 0);
}

struct FitCase {
    const char* name;
    int width, height;
    QRect placed; // where the picture lands on the canvas
    friend void PrintTo(const FitCase& c, std::ostream* os) { *os << c.width << "x" << c.height; }
};
class BackgroundFit : public ::testing::TestWithParam<FitCase> { };

TEST_P(BackgroundFit, ScaledWholeAndCentred)
{
    const FitCase c = GetParam();
    const QImage frame = soccerFrame({}, patterned(c.width, c.height), 0, false);
    const QRect r = c.placed;
    // Corners just inside: red top, blue bottom, green on the left.
    EXPECT_EQ(frame.pixel(r.left() + 1, r.top() + 1), qRgb(0, 255, 0));
    EXPECT_EQ(frame.pixel(r.right() - 1, r.top() + 1), qRgb(255, 0, 0));
    EXPECT_EQ(frame.pixel(r.right() - 1, r.bottom() - 1), qRgb(0, 0, 255));
    // The band edges scale with the picture.
    const int greenEdge = r.left() + r.width() / 4;
    EXPECT_EQ(frame.pixel(greenEdge - 2, r.top() + 5), qRgb(0, 255, 0));
    EXPECT_EQ(frame.pixel(greenEdge + 2, r.top() + 5), qRgb(255, 0, 0));
    const int middle = r.top() + r.height() / 2;
    EXPECT_EQ(frame.pixel(r.right() - 5, middle - 2), qRgb(255, 0, 0));
    EXPECT_EQ(frame.pixel(r.right() - 5, middle + 2), qRgb(0, 0, 255));
    // The bars stay transparent.
    if (r.left() > 0) {
        EXPECT_EQ(qAlpha(frame.pixel(r.left() - 2, 360)), 0);
        EXPECT_EQ(qAlpha(frame.pixel(r.right() + 2, 360)), 0);
    }
    if (r.top() > 0) {
        EXPECT_EQ(qAlpha(frame.pixel(640, r.top() - 2)), 0);
        EXPECT_EQ(qAlpha(frame.pixel(640, r.bottom() + 2)), 0);
    }
}
INSTANTIATE_TEST_SUITE_P(Sizes, BackgroundFit,
                         ::testing::Values(FitCase{"FullHD", 1920, 1080, QRect(0, 0, 1280, 720)},
                                           FitCase{"FourByThree", 1440, 1080, QRect(160, 0, 960, 720)},
                                           FitCase{"SmallSixteenByNine", 640, 360, QRect(0, 0, 1280, 720)},
                                           FitCase{"Tall", 720, 1280, QRect(437, 0, 405, 720)},
                                           FitCase{"Wide", 2560, 720, QRect(0, 180, 1280, 360)}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PlacementCase {
    const char* name;
    OrganizerMark mark;
    friend void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.name; }
};
class MarkPlacement : public ::testing::TestWithParam<PlacementCase> { };

// Telestration marks count y up from the bottom like plain ones: each lands
// around its point, (x * 1280, (1 - y) * 720) on the canvas.
TEST_P(MarkPlacement, CentredOnItsPointCountedFromTheBottom)
{
    const OrganizerMark& mark = GetParam().mark;
    const QImage frame = soccerFrame({mark}, solid(1280, 720, turf), 0.5, true);
    double sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            if (qAlpha(frame.pixel(x, y)) < 128) continue;
            sumX += x;
            sumY += y;
            ++count;
        }
    ASSERT_GT(count, 100);
    EXPECT_NEAR(sumX / count, mark.x * 1280, 40);
    EXPECT_NEAR(sumY / count, (1 - mark.y) * 720, 40);
}
INSTANTIATE_TEST_SUITE_P(Points, MarkPlacement,
                         ::testing::Values(PlacementCase{"RingHighLeft", ring(0.2, 0.8)},
                                           PlacementCase{"RingLowRight", ring(0.8, 0.2)},
                                           PlacementCase{"GroundRingHighRight", groundRing(0.7, 0.75)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GXLEngineImage, OutputIsAPremultipliedCanvas)
{
    const QImage picture = GXLEngine::shared().image(ring(0.5, 0.5).gxl.value(), 0.25, QImage());
    ASSERT_EQ(picture.size(), QSize(1280, 720));
    EXPECT_EQ(picture.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_GT(countCovered(picture), 100);
    EXPECT_TRUE(premultiplied(picture));
}

TEST(GXLEngineImage, NonGroundToolIgnoresTheBackground)
{
    const GXLSettings settings = ring(0.4, 0.6).gxl.value();
    const QImage without = GXLEngine::shared().image(settings, 0.5, QImage(), true);
    const QImage with = GXLEngine::shared().image(settings, 0.5, solid(1920, 1080, turf), true);
    EXPECT_EQ(without, with);
}

TEST(GXLEngineImage, GroundToolWithoutBackgroundAlwaysFails)
{
    for (bool overlayOnly : {false, true}) {
        EXPECT_EQ(
            messageOf([&] { GXLEngine::shared().image(groundRing(0.5, 0.5).gxl.value(), 0, QImage(), overlayOnly); }),
            "芝生限定ツールは映像を読み込んでから使用してください。");
    }
}

struct TurfKeyCase {
    const char* name;
    double x;   // of the ground ring, at mid height
    bool drawn; // whether the fitted video holds turf there
    friend void PrintTo(const TurfKeyCase& c, std::ostream* os) { *os << c.name; }
};
class GroundKey : public ::testing::TestWithParam<TurfKeyCase> { };

// A 4:3 video whose left half is turf and right half a stand, fitted into the
// canvas: turf from x 160 to 640, the stand to 1120, empty bars outside. The
// ground tool keys to the video exactly where it lies on the canvas.
TEST_P(GroundKey, KeyedToTheVideoAsFitted)
{
    QImage video = solid(1440, 1080, QColor(200, 40, 200));
    QPainter(&video).fillRect(0, 0, 720, 1080, turf);
    const TurfKeyCase c = GetParam();
    const QImage picture = GXLEngine::shared().image(groundRing(c.x, 0.5).gxl.value(), 0.5, video, true);
    if (c.drawn)
        EXPECT_GT(countCovered(picture), 100);
    else
        EXPECT_EQ(countCovered(picture), 0);
}
INSTANTIATE_TEST_SUITE_P(Places, GroundKey,
                         ::testing::Values(TurfKeyCase{"OnTheTurf", 0.3, true},
                                           TurfKeyCase{"InTheLeftBar", 0.06, false},
                                           TurfKeyCase{"OnTheStand", 0.8, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct InvalidCase {
    const char* name;
    std::function<void(GXLSettings&)> spoil;
    friend void PrintTo(const InvalidCase& c, std::ostream* os) { *os << c.name; }
};
class InvalidSettings : public ::testing::TestWithParam<InvalidCase> { };

// Validation comes before the lock: it answers while another thread renders.
TEST_P(InvalidSettings, RefusedWithoutWaitingForTheLock)
{
    GXLSettings settings = ring(0.5, 0.5).gxl.value();
    GetParam().spoil(settings);
    std::unique_lock held(GXLEngineTestAccess::lock());
    auto answer = std::async(std::launch::async, [&] {
        return messageOf([&] { GXLEngine::shared().image(settings, 0, solid(1280, 720, turf)); });
    });
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "validation waited for the engine's lock";
    EXPECT_EQ(answer.get(), "GXLツールの設定が不正です。");
}
INSTANTIATE_TEST_SUITE_P(Spoilt, InvalidSettings,
                         ::testing::Values(InvalidCase{"SizeBelowTen", [](GXLSettings& s) { s.size = 9.99; }},
                                           InvalidCase{"UnknownTool", [](GXLSettings& s) { s.tool = "player ring"; }},
                                           InvalidCase{"NoPoints", [](GXLSettings& s) { s.points.clear(); }},
                                           InvalidCase{"PointOutside",
                                                       [](GXLSettings& s) { s.points[0].y = -0.0000001; }},
                                           InvalidCase{"ThreeColours", [](GXLSettings& s) { s.color.pop_back(); }},
                                           InvalidCase{"NaNSpeed", [](GXLSettings& s) { s.speed = std::nan(""); }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SoccerFrame, GroundToolWithoutBackground)
{
    const std::vector<OrganizerMark> marks = {plainMark("arrow", 0.1, 0.1, 0.3, 0.3), groundRing(0.5, 0.5)};
    // Left out of an overlay...
    EXPECT_EQ(soccerFrame(marks, QImage(), 0, true), soccerFrame({marks[0]}, QImage(), 0, true));
    // ...but a whole frame cannot be made without the video.
    EXPECT_EQ(messageOf([&] { soccerFrame(marks, QImage(), 0, false); }),
              "芝生限定ツールは映像を読み込んでから使用してください。");
}

TEST(SoccerFrame, AnyFailingMarkFailsTheWholeFrame)
{
    GXLSettings broken = ring(0.5, 0.5).gxl.value();
    broken.size = 401;
    const std::vector<OrganizerMark> marks = {ring(0.2, 0.2), plainMark("arrow", 0, 0, 1, 1), gxlMark(broken),
                                              ring(0.8, 0.8), plainMark("circle", 0.1, 0.1, 0.2, 0.2)};
    EXPECT_EQ(messageOf([&] { soccerFrame(marks, solid(1280, 720, turf), 0, false); }), "GXLツールの設定が不正です。");
}

// Where two marks draw over each other, the later one is on top.
TEST(SoccerFrame, LaterMarksCoverEarlierOnes)
{
    const OrganizerMark red = ring(0.5, 0.5, {1, 0, 0, 1});
    const OrganizerMark box = plainMark("text", 0.4, 0.45, 0, 0, "■■■■■■■■");
    const QImage redPicture = soccerFrame({red}, QImage(), 0, true);
    const QImage boxPicture = soccerFrame({box}, QImage(), 0, true);
    const QImage redOnTop = soccerFrame({box, red}, QImage(), 0, true);
    const QImage boxOnTop = soccerFrame({red, box}, QImage(), 0, true);
    int both = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            if (qAlpha(redPicture.pixel(x, y)) != 255 || qAlpha(boxPicture.pixel(x, y)) != 255) continue;
            ++both;
            ASSERT_EQ(redOnTop.pixel(x, y), redPicture.pixel(x, y)) << x << "," << y;
            ASSERT_EQ(boxOnTop.pixel(x, y), boxPicture.pixel(x, y)) << x << "," << y;
        }
    EXPECT_GT(both, 50) << "the two marks must overlap for this test to mean anything";
    saveForInspection(redOnTop, "soccer-frame-order.png");
}

// Plain marks go straight onto the one canvas; the frame is the same as each
// mark's own transparent picture laid over the ones before it.
TEST(SoccerFrame, PlainMarksMatchTheirPicturesLaidInTurn)
{
    const std::vector<OrganizerMark> marks = {
        plainMark("circle", 0.3, 0.3, 0.6, 0.7), plainMark("text", 0.35, 0.45, 0, 0, "ゴール前"),
        plainMark("arrow", 0.2, 0.5, 0.8, 0.5), plainMark("text", 0.5, 0.4, 0, 0, "■■"),
        plainMark("arrow", 0.45, 0.2, 0.45, 0.8)};
    QImage laid = solid(1280, 720, Qt::transparent);
    {
        QPainter painter(&laid);
        for (const OrganizerMark& mark : marks) painter.drawImage(0, 0, organizerMarkImage({mark}));
    }
    const QImage frame = soccerFrame(marks, QImage(), 0, true);
    int worst = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const QRgb a = frame.pixel(x, y), b = laid.pixel(x, y);
            for (int shift : {0, 8, 16, 24})
                worst = std::max(worst, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
        }
    EXPECT_LE(worst, 1) << "beyond the rounding of 8-bit blending";
    EXPECT_GT(countCovered(frame), 1000);
}

struct KindCase {
    const char* name;
    OrganizerMark mark;
    OrganizerMark sameAs;
    friend void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }
};
class PathChoice : public ::testing::TestWithParam<KindCase> { };

// The settings decide the path, not the kind.
TEST_P(PathChoice, SettingsNotKindChooseTheGpu)
{
    const KindCase& c = GetParam();
    const QImage picture = soccerFrame({c.mark}, QImage(), 0.25, true);
    EXPECT_GT(countCovered(picture), 100);
    EXPECT_EQ(picture, soccerFrame({c.sameAs}, QImage(), 0.25, true));
}
INSTANTIATE_TEST_SUITE_P(Kinds, PathChoice,
                         ::testing::Values(KindCase{"ArrowWithSettings",
                                                    OrganizerMark{"arrow", 0.5, 0.5, 0.5, 0.5, "", ring(0.5, 0.5).gxl},
                                                    ring(0.5, 0.5)},
                                           KindCase{"GxlWithoutSettings", plainMark("gxl", 0.2, 0.3, 0.6, 0.7),
                                                    plainMark("arrow", 0.2, 0.3, 0.6, 0.7)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SoccerFrame, MarksLieOverTheFittedBackground)
{
    const std::vector<OrganizerMark> marks = {ring(0.5, 0.5), plainMark("arrow", 0.1, 0.5, 0.9, 0.5)};
    const QImage background = solid(1440, 1080, turf);
    const QImage frame = soccerFrame(marks, background, 0, false);
    QImage expected = soccerFrame({}, background, 0, false);
    QPainter(&expected).drawImage(0, 0, soccerFrame(marks, QImage(), 0, true));
    EXPECT_EQ(countDifferent(frame, expected), 0);
    EXPECT_EQ(qAlpha(frame.pixel(20, 20)), 0) << "the 4:3 bars stay clear";
    saveForInspection(frame, "soccer-frame-over-video.png");
}

// A canvas handed over ends as the copying road draws it, also when a ground
// tool keys the video under plain marks drawn before it.
TEST(SoccerFrame, AHandedOverCanvasEndsAsACopyWould)
{
    const QImage canvas = solid(1280, 720, turf);
    for (const std::vector<OrganizerMark>& marks :
         {std::vector<OrganizerMark>{ring(0.5, 0.5), plainMark("arrow", 0.1, 0.5, 0.9, 0.5)},
          std::vector<OrganizerMark>{plainMark("circle", 0.3, 0.3, 0.7, 0.7), groundRing(0.5, 0.5)}}) {
        const QImage expected = soccerFrame(marks, canvas, 0.5, false);
        EXPECT_EQ(countDifferent(soccerFrame(marks, canvas.copy(), 0.5), expected), 0) << marks.front().kind;
    }
}

// Each telestration mark is drawn only over the pieces of the canvas its
// parts can draw in, each piece with only its own parts; the frame is the one
// its whole picture gives (within a step of 8-bit colour, where a part's faint
// antialiasing is cut), for every tool, at two moments, at the extremes of its
// size and perspective, also where the pieces touch the canvas's edges.
TEST(SoccerFrame, AMarkLaidOverItsAreaLooksAsLaidWhole)
{
    const QImage canvas = solid(1280, 720, turf);
    struct Variant {
        double y, size, perspective;
    };
    for (const std::string& tool : GXLSettings::tools()) {
        for (const Variant v : {Variant{0.5, 0, 0}, Variant{0.02, 0, 0}, Variant{0.98, 0, 0}, Variant{0.5, 10, 5},
                                Variant{0.5, 400, 100}, Variant{0.3, 400, 5}, Variant{0.7, 10, 100}}) {
            GXLSettings settings = GXLSettings::material(tool);
            for (GXLPoint& point : settings.points) point.y = std::clamp(point.y + v.y - 0.5, 0.0, 1.0);
            if (v.size > 0) settings.size = v.size, settings.perspective = v.perspective;
            for (const double seconds : {0.5, 1.7}) {
                QImage expected = canvas.copy();
                QPainter(&expected).drawImage(0, 0, GXLEngine::shared().image(settings, seconds, canvas, true));
                EXPECT_LE(largestStep(soccerFrame({gxlMark(settings)}, canvas, seconds, false), expected), 1)
                    << tool << " at " << v.y << " size " << v.size << " perspective " << v.perspective << ", "
                    << seconds << " s";
            }
        }
    }
}

// A mark is shaded piece by piece, each pixel once, never much beyond its
// parts: a lane crossing the picture fills little of its box, nor do rings
// at a hull's corners, a cone or a lofted arc; a ring lying flat is shaded
// only as high as it reaches.
TEST(SoccerFrame, ToolsShadeLittleMoreThanTheirShape)
{
    for (const char* tool : {"Passing Lane", "Space Circle", "Player Ring", "Team Fill", "Team Rings", "Vision Cone",
                             "Lofted Arc", "Ring Trail"}) {
        const MarkerParameters p = GXLSettings::material(tool).parameters();
        const MarkerUniforms m = p.uniforms(1280, 720, 0);
        const GroundUniforms g = p.groundUniforms(1280, 720, 0);
        const TrailUniforms t = p.trailUniforms(1280, 720);
        const QRect box = [](gpu::PixelRegion r) { return QRect(r.x, r.y, r.width, r.height); }(markerBounds(m, g, t));
        double shaded = 0;
        QRegion covered;
        for (const MarkerPiece& piece : markerPieces(m, g, t)) {
            const QRect r(piece.region.x, piece.region.y, piece.region.width, piece.region.height);
            EXPECT_TRUE(box.contains(r)) << tool;
            EXPECT_FALSE(covered.intersects(r)) << tool;
            covered += r;
            shaded += double(r.width()) * r.height();
        }
        EXPECT_LT(shaded, 0.7 * box.width() * box.height()) << tool;
    }
}

// Drawn over the video instead of with it, from only the part of the frame
// the ground tools key to, the marks give the same picture, and nothing lies
// outside the part said to be drawn on.
TEST(SoccerOverlay, SameAsTheOverlayDrawnFromTheWholeFrame)
{
    QImage frame = solid(1280, 720, turf);
    QPainter(&frame).fillRect(0, 0, 640, 360, Qt::white); // not turf: the key has something to cut
    GXLSettings space = GXLSettings::material("Space Circle");
    space.points = {{0.45, 0.55}};
    const std::vector<OrganizerMark> marks = {plainMark("circle", 0.1, 0.1, 0.3, 0.3), ring(0.2, 0.8), gxlMark(space),
                                              plainMark("text", 0.7, 0.1, 0, 0, "前進"), groundRing(0.9, 0.5)};
    for (double seconds : {0.0, 0.7}) {
        const QRect read = soccerSourceArea(marks, seconds);
        QImage overlay = solid(1280, 720, Qt::transparent);
        const QRect drawn = soccerOverlay(overlay, marks, frame.copy(read), read, seconds, plainMarksArea(marks));
        const QImage expected = soccerFrame(marks, frame, seconds, true);
        EXPECT_EQ(countDifferent(overlay, expected), 0) << seconds;
        QImage outside = expected.copy();
        QPainter painter(&outside);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(drawn, Qt::transparent);
        painter.end();
        EXPECT_EQ(countCovered(outside), 0) << seconds;
        EXPECT_GT(countCovered(expected), 1000);
    }
}

// The preview queue and the export compositor call at the same time.
TEST(SoccerFrame, TwoThreadsBothGetTheirOwnPictures)
{
    const std::vector<OrganizerMark> preview = {ring(0.3, 0.4), plainMark("text", 0.1, 0.9, 0, 0, "プレビュー")};
    const std::vector<OrganizerMark> exported = {groundRing(0.6, 0.4), ring(0.7, 0.7, {0, 0, 1, 1}),
                                                 plainMark("circle", 0.5, 0.1, 0.9, 0.3),
                                                 plainMark("text", 0.5, 0.8, 0, 0, "書き出し")};
    const QImage turfFrame = solid(1920, 1080, turf);
    const QImage previewAlone = soccerFrame(preview, QImage(), 0.5, true);
    const QImage exportAlone = soccerFrame(exported, turfFrame, 0.5, false);
    ASSERT_NE(previewAlone, exportAlone);
    auto run = [](const std::vector<OrganizerMark>& marks, const QImage& background, bool overlayOnly) {
        std::vector<QImage> pictures;
        for (int i = 0; i < 4; ++i) pictures.push_back(soccerFrame(marks, background, 0.5, overlayOnly));
        return pictures;
    };
    auto a = std::async(std::launch::async, run, preview, QImage(), true);
    auto b = std::async(std::launch::async, run, exported, turfFrame, false);
    for (const QImage& picture : a.get()) EXPECT_EQ(picture, previewAlone);
    for (const QImage& picture : b.get()) EXPECT_EQ(picture, exportAlone);
}

} // namespace
} // namespace zanto
