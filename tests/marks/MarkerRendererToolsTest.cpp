// Every telestration tool rendered on the GPU over a made-up pitch: where the
// marks paint, premultiplied output, the turf key, still marks at speed 0 and
// renders from two threads. Also writes a gallery of all fifteen tools to the
// test output folder for a person to look at.

#include "SyntheticPitch.h"

#include "marks/GXLSettings.h"
#include "marks/MarkerRenderer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPolygonF>

#include <cmath>
#include <thread>

using namespace zanto;
using namespace zanto::test;

namespace {

struct ToolCase {
    const char* tool;
    std::vector<GXLPoint> points;
    double reach; // pixels from the points, the lines between them and the area they
                  // enclose beyond which nothing is drawn (0: paints everywhere)
};

void PrintTo(const ToolCase& tool, std::ostream* out)
{
    *out << tool.tool;
}

std::vector<ToolCase> toolCases()
{
    const GXLPoint a = pitchPlayers()[0].feet, b = pitchPlayers()[1].feet, c = pitchPlayers()[2].feet,
                   d = pitchPlayers()[4].feet;
    return {
        {"Player Ring", {c}, 90},
        {"Team Rings", {a, b, d}, 90},
        {"Ring Trail", {{0.40, 0.45}, {0.48, 0.40}, {0.55, 0.42}, c}, 90},
        {"Lofted Arc", {a, c}, 300},
        {"Spotlight", {c}, 0},
        {"Passing Lane", {a, c}, 120},
        {"Vision Cone", {b, {0.70, 0.45}}, 260},
        {"Team Fill", {a, b, c, d}, 90},
        {"Ground Ring", {c}, 90},
        {"Ground Team", {a, b, d}, 90},
        {"Space Circle", {{0.52, 0.42}}, 340},
        {"Space Polygon", {{0.55, 0.30}, {0.72, 0.28}, {0.78, 0.50}, {0.58, 0.52}}, 40},
        {"Space Rectangle", {{0.50, 0.42}}, 340},
        {"Ground Passing Lane", {b, {0.75, 0.30}}, 120},
        {"Ground Vision", {c, {0.85, 0.55}}, 260},
    };
}

GXLSettings settingsFor(const ToolCase& tool)
{
    GXLSettings settings = GXLSettings::material(tool.tool);
    settings.points = tool.points;
    return settings;
}

struct Rig {
    std::shared_ptr<gpu::Device> device = gpu::Device::systemDefault();
    std::filesystem::path shader = MarkerRenderer::shaderResource().value_or("");
    MarkerRenderer renderer{device, shader};
    QImage pitch = syntheticPitch();
    std::shared_ptr<gpu::Texture> pitchFrame = pitchTexture(device, pitch);

    // The mark alone, as the frame engine asks for it: overlay mode, with the
    // frame as source for ground tools only.
    QImage render(const GXLSettings& settings, double seconds, bool overlayOnly = true)
    {
        return render(settings.parameters(), settings.ground(), seconds, overlayOnly);
    }
    QImage render(const MarkerParameters& parameters, bool ground, double seconds, bool overlayOnly = true)
    {
        auto target = canvasTexture(device);
        renderer.render(target, parameters, seconds, ground ? pitchFrame : nullptr, {}, overlayOnly);
        return canvasImage(*target);
    }
};

double distanceToPath(QPointF p, const std::vector<GXLPoint>& points)
{
    double best = 1e9;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF a = toPixels(points[i]);
        // Areas close: the last point joins the first.
        const std::size_t next = i + 1 < points.size() ? i + 1 : (points.size() >= 3 ? 0 : i);
        const QPointF b = toPixels(points[next]);
        const QPointF ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
        const QPointF q = a + ab * t - p;
        best = std::min(best, std::hypot(q.x(), q.y()));
    }
    return best;
}

bool insideArea(QPointF p, const std::vector<GXLPoint>& points)
{
    if (points.size() < 3) return false;
    // Fills cover the hull of the points, whatever their order.
    std::vector<Float2> corners;
    for (const auto& point : points) corners.push_back({float(point.x), float(point.y)});
    QPolygonF polygon;
    for (const auto& corner : MarkerParameters::hull(corners)) polygon << toPixels({corner.x, corner.y});
    return polygon.containsPoint(p, Qt::OddEvenFill);
}

// Not grass: the pitch is drawn without antialiasing, so every pixel is
// either one of the two turf shades or a line or player colour.
bool clearlyNotTurf(const QImage& pitch, int x, int y)
{
    const Bgra p = pixel(pitch, x, y);
    auto far = [&](int r, int g, int b) { return std::abs(p.r - r) + std::abs(p.g - g) + std::abs(p.b - b) > 12; };
    return far(71, 107, 36) && far(61, 94, 31);
}

class ToolRender : public ::testing::TestWithParam<ToolCase> {
protected:
    static Rig& rig()
    {
        static Rig shared;
        return shared;
    }
};

} // namespace

TEST_P(ToolRender, PaintsNearItsPointsAndNotFarAway)
{
    const ToolCase& tool = GetParam();
    const QImage image = rig().render(settingsFor(tool), 2.0);
    const QPointF first = toPixels(tool.points.front());
    long nearAlpha = 0, farPainted = 0, farCount = 0;
    for (int y = 0; y < canvasHeight; y += 2) {
        for (int x = 0; x < canvasWidth; x += 2) {
            const Bgra p = pixel(image, x, y);
            if (std::hypot(x - first.x(), y - first.y()) < 40) nearAlpha += p.a;
            const QPointF at(x, y);
            if (tool.reach > 0 && !insideArea(at, tool.points) && distanceToPath(at, tool.points) > tool.reach) {
                ++farCount;
                farPainted += p.a > 0;
            }
        }
    }
    EXPECT_GT(nearAlpha, 255 * 20) << tool.tool << " draws nothing at its first point";
    if (tool.reach > 0) {
        ASSERT_GT(farCount, 1000);
        EXPECT_EQ(farPainted, 0) << tool.tool << " paints far from its points";
    }
}

TEST_P(ToolRender, OutputIsPremultiplied)
{
    const QImage image = rig().render(settingsFor(GetParam()), 0.8);
    long faults = 0;
    for (int y = 0; y < canvasHeight; ++y)
        for (int x = 0; x < canvasWidth; ++x) {
            const Bgra p = pixel(image, x, y);
            faults += p.r > p.a || p.g > p.a || p.b > p.a;
        }
    EXPECT_EQ(faults, 0) << GetParam().tool;
}

TEST_P(ToolRender, SpeedZeroStandsStill)
{
    GXLSettings settings = settingsFor(GetParam());
    settings.speed = 0;
    // After the arc's first flight (1.2 s) nothing may move any more.
    const QImage early = rig().render(settings, 1.5);
    EXPECT_EQ(early, rig().render(settings, 61.7)) << GetParam().tool;
}

// The seven tools keyed to the turf.
class GroundToolRender : public ToolRender { };

TEST_P(GroundToolRender, LeavesEverythingButTurfAlone)
{
    const GXLSettings settings = settingsFor(GetParam());
    ASSERT_TRUE(settings.ground());
    const QImage overlay = rig().render(settings, 2.0, true);
    const QImage frame = rig().render(settings, 2.0, false);
    const QImage& pitch = rig().pitch;
    long checked = 0, overlayFaults = 0, frameFaults = 0, drawnOnTurf = 0;
    for (int y = 0; y < canvasHeight; ++y)
        for (int x = 0; x < canvasWidth; ++x) {
            if (clearlyNotTurf(pitch, x, y)) {
                ++checked;
                overlayFaults += pixel(overlay, x, y).a != 0;
                frameFaults += pitch.pixel(x, y) != frame.pixel(x, y);
            } else {
                drawnOnTurf += pixel(overlay, x, y).a > 0;
            }
        }
    EXPECT_GT(checked, 5000);
    EXPECT_GT(drawnOnTurf, 200) << "the mark still shows on the grass";
    EXPECT_EQ(overlayFaults, 0) << "the overlay paints over lines or players";
    EXPECT_EQ(frameFaults, 0) << "the composed frame changes lines or players";
}

TEST_P(ToolRender, SpecialisedShaderGivesTheSamePixels)
{
    const GXLSettings settings = settingsFor(GetParam());
    const QImage specialised = rig().render(settings, 0.7);
    rig().renderer.setSpecialisation(false);
    const QImage general = rig().render(settings, 0.7);
    rig().renderer.setSpecialisation(true);
    EXPECT_EQ(specialised, general) << GetParam().tool;
}

// At the limits of size and perspective, with strong glow and deep shadows,
// every soft edge fades out inside the part of the target a mark is drawn
// in: the bounded draw gives the pixels of one over the whole target.
TEST_P(ToolRender, ExtremeSettingsFadeOutInsideTheDrawnBounds)
{
    for (const double size : {10.0, 400.0}) {
        for (const double perspective : {5.0, 100.0}) {
            GXLSettings settings = settingsFor(GetParam());
            settings.size = size;
            settings.perspective = perspective;
            ASSERT_TRUE(settings.validate());
            MarkerParameters parameters = settings.parameters();
            parameters.glow = 400;
            parameters.groundShadow = 100;
            parameters.arrowDepth = 120;
            const QImage bounded = rig().render(parameters, settings.ground(), 0.7);
            rig().renderer.setSpecialisation(false);
            const QImage whole = rig().render(parameters, settings.ground(), 0.7);
            rig().renderer.setSpecialisation(true);
            int differing = 0;
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x)
                    differing += std::abs(pixel(bounded, x, y).a - pixel(whole, x, y).a) > 1;
            EXPECT_EQ(differing, 0) << "size " << size << ", perspective " << perspective;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FifteenTools, ToolRender, ::testing::ValuesIn(toolCases()),
                         [](const ::testing::TestParamInfo<ToolCase>& info) {
                             std::string name = info.param.tool;
                             std::erase(name, ' ');
                             return name;
                         });

INSTANTIATE_TEST_SUITE_P(SevenTools, GroundToolRender, ::testing::ValuesIn([] {
                             std::vector<ToolCase> ground;
                             for (const auto& tool : toolCases())
                                 if (settingsFor(tool).ground()) ground.push_back(tool);
                             return ground;
                         }()),
                         [](const ::testing::TestParamInfo<ToolCase>& info) {
                             std::string name = info.param.tool;
                             std::erase(name, ' ');
                             return name;
                         });

TEST(ToolGallery, TwoThreadsGiveTheSamePicturesAsOneAfterTheOther)
{
    Rig rig;
    const auto cases = toolCases();
    std::vector<QImage> alone;
    for (const auto& tool : cases) alone.push_back(rig.render(settingsFor(tool), 0.6));
    std::vector<QImage> together(cases.size());
    auto work = [&](std::size_t first) {
        for (std::size_t i = first; i < cases.size(); i += 2) together[i] = rig.render(settingsFor(cases[i]), 0.6);
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(alone[i], together[i]) << cases[i].tool;
}

TEST(ToolGallery, WritesAllFifteenToolsOverThePitch)
{
    Rig rig;
    const auto cases = toolCases();
    std::vector<std::pair<std::string, QImage>> marks;
    for (const auto& tool : cases) marks.emplace_back(tool.tool, rig.render(settingsFor(tool), 0.9));
    const QImage gallery = galleryOverPitch(rig.pitch, marks, 3);
    QDir().mkpath(ZANTO_TEST_OUTPUT_DIR);
    ASSERT_TRUE(gallery.save(QString(ZANTO_TEST_OUTPUT_DIR) + "/marker-tools-gallery.png"));

    // Close-ups at full size, where the rings' segments and edges show.
    QImage closeUps(960, 540, QImage::Format_ARGB32_Premultiplied);
    QPainter closeUpPainter(&closeUps);
    const int picks[] = {0, 3, 5, 10};
    for (int i = 0; i < 4; ++i) {
        const ToolCase& tool = cases[std::size_t(picks[i])];
        const QImage frame = overPitch(rig.pitch, marks[std::size_t(picks[i])].second);
        const QPointF centre = toPixels(tool.points.back());
        const QRect source(int(centre.x()) - 240, int(centre.y()) - 135, 480, 270);
        closeUpPainter.drawImage(QRect((i % 2) * 480, (i / 2) * 270, 480, 270), frame, source);
    }
    closeUpPainter.end();
    ASSERT_TRUE(closeUps.save(QString(ZANTO_TEST_OUTPUT_DIR) + "/marker-tools-closeups.png"));
}

// The spotlight darkens the picture around the player it lights, not the
// player: his shirt keeps its colour while other players' shirts darken.
TEST(SpotlightTool, LitPlayerKeepsHisColoursWhileTheRestDarkens)
{
    Rig rig;
    const PitchPlayer& lit = pitchPlayers()[2];
    GXLSettings settings = GXLSettings::material("Spotlight");
    settings.points = {lit.feet};
    const QImage mark = rig.render(settings, 0);
    auto shirtCover = [&](const PitchPlayer& player) {
        const QPointF shirt = toPixels(player.feet) - QPointF(0, 38);
        return pixel(mark, int(shirt.x()), int(shirt.y())).a;
    };
    EXPECT_LT(shirtCover(lit), 40) << "the lit player is veiled";
    for (std::size_t i : {0u, 3u, 5u})
        EXPECT_GT(shirtCover(pitchPlayers()[i]), 100) << "player " << i << " is not darkened";
}
