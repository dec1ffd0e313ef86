// Every ring style, arrow mode, lane end and option the parameters reach,
// beyond the fifteen tools' presets: each draws something where it should,
// premultiplied, the same specialised or not. Writes a gallery of the modes.

#include "SyntheticPitch.h"

#include "marks/MarkerRenderer.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace zanto;
using namespace zanto::test;

namespace {

struct ModeCase {
    const char* name;
    MarkerParameters parameters;
    bool overPitch = false; // rendered with the pitch as source (ground path); the
                            // key preview and spotlights then cover the whole picture
    const char* label = ""; // label text (drawn when the parameters enable labels)
};

void PrintTo(const ModeCase& c, std::ostream* out)
{
    *out << c.name;
}

MarkerParameters ring(std::int64_t style)
{
    MarkerParameters p;
    p.ringStyle = style;
    p.position = {0.5f, 0.55f};
    p.groundOnly = false;
    return p;
}

MarkerParameters arrow(std::int64_t mode)
{
    MarkerParameters p = ring(3);
    p.arrowMode = mode;
    p.arrowStart = {0.3f, 0.6f};
    p.arrowEnd = {0.65f, 0.45f};
    return p;
}

MarkerParameters lane(std::int64_t start, std::int64_t end)
{
    MarkerParameters p = ring(3);
    p.spaceMode = 5;
    p.fillOpacity = 25;
    p.arrowStart = {0.3f, 0.6f};
    p.arrowEnd = {0.65f, 0.5f};
    p.laneStartStyle = start;
    p.laneEndStyle = end;
    return p;
}

struct TrailPoint {
    int slot;
    float x, y; // mark space: origin bottom left, y up
};

// A "Ring Trail" state of 520 or 523 numbers holding `points` in their
// slots, in the colour (1, 0.2, 0, alpha); the 523-number form also states
// its style and its tail and head opacities.
std::vector<float> trailState(const std::vector<TrailPoint>& points, float alpha = 1, std::size_t length = 523)
{
    std::vector<float> state(length, 0.0f);
    state[0] = 16;
    state[1] = 100;
    state[4] = 1;
    state[5] = 0.2f;
    state[7] = alpha;
    if (length == 523) {
        state[520] = 2;
        state[521] = 45;
        state[522] = 85;
    }
    for (const auto& point : points) {
        const std::size_t at = 8 + 4 * std::size_t(point.slot);
        state[at] = point.x;
        state[at + 1] = point.y;
        state[at + 2] = 1;
        state[at + 3] = 1;
    }
    return state;
}

std::vector<ModeCase> modeCases()
{
    std::vector<ModeCase> cases;
    const char* styles[] = {"ring style 0", "ring style 1", "ring style 2",
                            "ring style 4", "ring style 5", "ring style 7"};
    const std::int64_t styleNumbers[] = {0, 1, 2, 4, 5, 7};
    for (int i = 0; i < 6; ++i) cases.push_back({styles[i], ring(styleNumbers[i])});
    // Style 7 is the labelled ring.
    cases.back().parameters.labelEnabled = true;
    cases.back().label = "Kai 10";
    const char* arrows[] = {"ground arrow", "chevron arrow", "dashed arrow", "curved arrow"};
    const std::int64_t arrowNumbers[] = {1, 2, 3, 5};
    for (int i = 0; i < 4; ++i) cases.push_back({arrows[i], arrow(arrowNumbers[i])});
    MarkerParameters dashedArc = arrow(4);
    dashedArc.arcLinePattern = 1;
    dashedArc.groundShadow = 60;
    cases.push_back({"dashed arc", dashedArc});
    cases.push_back({"lane round ends", lane(0, 0)});
    cases.push_back({"lane flat to pointed", lane(1, 2)});
    MarkerParameters waves = lane(2, 2);
    waves.waveEnabled = true;
    waves.waveStrength = 60;
    cases.push_back({"lane with waves", waves});
    MarkerParameters team = ring(1);
    team.multipleRings = true;
    team.lineMode = 1;
    team.ringSizes = {60, 100, 140, 80};
    cases.push_back({"team of sized rings", team});
    MarkerParameters preview = ring(1);
    preview.groundOnly = true;
    preview.groundPreview = true;
    cases.push_back({"turf key preview", preview, true});
    MarkerParameters entrance = ring(1);
    entrance.entranceEnabled = true;
    entrance.entranceElapsed = 0.3;
    cases.push_back({"ring entering", entrance});
    // Extremes a host may send: a ring far thicker than it is wide with a
    // full glow, an arrow with a deep shadow.
    MarkerParameters thick = ring(0);
    thick.size = 20;
    thick.thickness = 300;
    thick.glow = 100;
    cases.push_back({"thick glowing ring", thick});
    MarkerParameters deep = arrow(1);
    deep.arrowDepth = 600;
    cases.push_back({"deep arrow shadow", deep});
    MarkerParameters lights = ring(6);
    lights.multipleRings = true;
    lights.points = {{0.3f, 0.65f}, {0.45f, 0.72f}, {0.62f, 0.6f}};
    lights.pointCount = 3;
    lights.lineMode = 1;
    cases.push_back({"three spotlights", lights, true}); // darkens the whole picture
    MarkerParameters hull = ring(3);
    hull.multipleRings = true;
    hull.lineMode = 2;
    cases.push_back({"hull outline", hull});
    MarkerParameters trail = ring(1);
    trail.trailState = trailState({{0, 0.3f, 0.4f}, {1, 0.4f, 0.42f}, {2, 0.5f, 0.45f}}, 1, 520);
    cases.push_back({"short trail state", trail});
    return cases;
}

struct Rig {
    std::shared_ptr<gpu::Device> device = gpu::Device::systemDefault();
    std::filesystem::path shader = MarkerRenderer::shaderResource().value_or("");
    MarkerRenderer renderer{device, shader};
    QImage pitch = syntheticPitch();
    std::shared_ptr<gpu::Texture> frame = pitchTexture(device, pitch);

    QImage render(const ModeCase& c, double seconds = 0.9)
    {
        auto target = canvasTexture(device);
        renderer.render(target, c.parameters, seconds, c.overPitch ? frame : nullptr, c.label, true);
        return canvasImage(*target);
    }
};

Rig& rig()
{
    static Rig shared;
    return shared;
}

class ModeRender : public ::testing::TestWithParam<ModeCase> { };

} // namespace

TEST_P(ModeRender, DrawsPremultipliedAndTheSameSpecialisedOrNot)
{
    const QImage image = rig().render(GetParam());
    long painted = 0, faults = 0;
    for (int y = 0; y < canvasHeight; ++y)
        for (int x = 0; x < canvasWidth; ++x) {
            const Bgra p = pixel(image, x, y);
            painted += p.a > 0;
            faults += p.r > p.a || p.g > p.a || p.b > p.a;
        }
    EXPECT_GT(painted, 300) << "draws something";
    if (!GetParam().overPitch) {
        EXPECT_LT(painted, canvasWidth * canvasHeight / 2) << "keeps to its place";
    }
    EXPECT_EQ(faults, 0) << "premultiplied";
    rig().renderer.setSpecialisation(false);
    const QImage general = rig().render(GetParam());
    rig().renderer.setSpecialisation(true);
    EXPECT_EQ(image, general);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeRender, ::testing::ValuesIn(modeCases()),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                             std::string name;
                             for (char c : std::string(info.param.name))
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

TEST(ModeGallery, WritesEveryModeOverThePitch)
{
    const auto cases = modeCases();
    std::vector<std::pair<std::string, QImage>> marks;
    for (const auto& c : cases) marks.emplace_back(c.name, rig().render(c));
    const QImage gallery = galleryOverPitch(rig().pitch, marks, 4);
    QDir().mkpath(ZANTO_TEST_OUTPUT_DIR);
    ASSERT_TRUE(gallery.save(QString(ZANTO_TEST_OUTPUT_DIR) + "/marker-modes-gallery.png"));
}

namespace {

long paintedIn(const QImage& image, QRect area)
{
    long painted = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) painted += pixel(image, x, y).a > 0;
    return painted;
}

} // namespace

// Unused slots between used ones hold no point of the run: the trail joins
// the used slots in order, the same picture as with the slots packed
// together, and never runs to the corner that an empty slot would name.
TEST(TrailState, UnusedSlotsBetweenUsedOnesAreSkipped)
{
    const std::vector<TrailPoint> packed = {{0, 0.30f, 0.40f}, {1, 0.40f, 0.44f}, {2, 0.50f, 0.42f}};
    const std::vector<TrailPoint> gapped = {{0, 0.30f, 0.40f}, {3, 0.40f, 0.44f}, {9, 0.50f, 0.42f}};
    MarkerParameters p = ring(3);
    p.trailState = trailState(packed);
    const QImage together = rig().render({"packed", p}, 0);
    p.trailState = trailState(gapped);
    const QImage apart = rig().render({"gapped", p}, 0);
    EXPECT_EQ(together, apart);
    EXPECT_EQ(paintedIn(apart, QRect(0, canvasHeight - 120, 160, 120)), 0) << "runs to an empty slot";
    // Halfway between the first two points the run is drawn.
    EXPECT_GT(paintedIn(apart, QRect(0.35 * canvasWidth - 4, (1 - 0.42) * canvasHeight - 4, 9, 9)), 20);
}

// The trail's colour carries an alpha like every colour of the marker.
TEST(TrailState, ColourAlphaScalesTheRun)
{
    const std::vector<TrailPoint> run = {{0, 0.30f, 0.40f}, {1, 0.40f, 0.44f}, {2, 0.50f, 0.42f}};
    const QRect middle(0.35 * canvasWidth - 4, (1 - 0.42) * canvasHeight - 4, 9, 9);
    struct Case {
        float alpha;
        long least, most;
    };
    for (const Case c : {Case{0, 0, 0}, Case{1, 20, 81}}) {
        MarkerParameters p = ring(3);
        p.trailState = trailState(run, c.alpha);
        const QImage image = rig().render({"alpha", p}, 0);
        const long painted = paintedIn(image, middle);
        EXPECT_GE(painted, c.least) << c.alpha;
        EXPECT_LE(painted, c.most) << c.alpha;
    }
}

// An arc that is not drawn progressively sends its ball along the flight
// once every animation period when animated, and stands still when not;
// neither depends on the ring's speed.
TEST(ArcMotion, BallRunsWithTheArcPhaseOnlyWhenAnimated)
{
    struct Case {
        bool animated;
        bool moves;
    };
    for (const Case c : {Case{true, true}, Case{false, false}}) {
        MarkerParameters p = arrow(4);
        p.speed = 0;
        p.arcMotionMode = 0;
        p.arrowAnimated = c.animated;
        p.arcAnimationDuration = 1.0f;
        const QImage early = rig().render({"arc", p}, 0.25);
        EXPECT_EQ(early != rig().render({"arc", p}, 0.65), c.moves) << c.animated;
        // A whole period later the ball is back where it was.
        EXPECT_EQ(early, rig().render({"arc", p}, 3.25)) << c.animated;
    }
}

// The key preview shows the key itself: the turf tinted in the tactical
// colour, what stays in front of the marks (a player's shirt, a pitch line)
// in magenta. Without the preview the key leaves those alone.
TEST(KeyPreview, TintsTurfAndWhatTheKeyKeepsInFront)
{
    MarkerParameters p = ring(1);
    p.groundOnly = true;
    const QPointF shirt = toPixels(pitchPlayers()[3].feet) - QPointF(0, 38);
    const QPoint line(640, 80); // the halfway line, far from the ring
    const QPoint grass(100, 650);
    struct Case {
        bool preview;
        bool frontTinted;
    };
    for (const Case c : {Case{true, true}, Case{false, false}}) {
        p.groundPreview = c.preview;
        const QImage image = rig().render({"preview", p, true});
        for (const QPoint at : {shirt.toPoint(), line}) {
            const Bgra front = pixel(image, at.x(), at.y());
            EXPECT_EQ(front.a > 0, c.frontTinted) << c.preview << " at " << at.x() << "," << at.y();
            if (c.frontTinted) {
                EXPECT_GT(front.r, front.g + 40) << "magenta";
                EXPECT_GT(front.b, front.g) << "magenta";
            }
        }
        const Bgra turf = pixel(image, grass.x(), grass.y());
        EXPECT_EQ(turf.a > 0, c.preview);
        if (c.preview) {
            EXPECT_GT(turf.b, turf.r) << "the tactical colour";
        }
    }
}

namespace {

// The strongest alpha of a painted pixel beside an unpainted one: what a
// soft shadow or glow leaves at its outer edge, where it must have faded out
// rather than been cut off.
int outerEdgeAlpha(const QImage& image)
{
    int strongest = 0;
    for (int y = 1; y + 1 < canvasHeight; ++y)
        for (int x = 1; x + 1 < canvasWidth; ++x) {
            const int a = pixel(image, x, y).a;
            const bool besideNothing = pixel(image, x - 1, y).a == 0 || pixel(image, x + 1, y).a == 0
                                       || pixel(image, x, y - 1).a == 0 || pixel(image, x, y + 1).a == 0;
            if (besideNothing) strongest = std::max(strongest, a);
        }
    return strongest;
}

} // namespace

// Marks whose outside is a shadow or a glow, at the limits a host may send:
// both fade out before anything stops drawing them, with or without bounds.
// A cut-off shadow leaves a hard edge of about 90; the steepest true fade
// (a glow seen almost edge-on, a few pixels tall) stays under 20.
TEST(SoftEdges, FadeOutAtEveryExtreme)
{
    std::vector<ModeCase> cases;
    for (const std::int64_t mode : {1, 2, 3, 5})
        for (const float perspective : {0.0f, 90.0f})
            for (const float depth : {60.0f, 600.0f}) {
                MarkerParameters deep = arrow(mode);
                deep.arrowDepth = depth, deep.arrowPerspective = perspective, deep.size = 400;
                cases.push_back({"arrow shadow", deep});
            }
    MarkerParameters glowing = ring(0);
    glowing.glow = 400, glowing.groundShadow = 100, glowing.size = 400, glowing.perspective = 100;
    cases.push_back({"glowing ring", glowing});
    for (const ModeCase& c : cases) {
        const QImage image = rig().render(c);
        EXPECT_LE(outerEdgeAlpha(image), 20) << c.name << " mode " << c.parameters.arrowMode << ", perspective "
                                             << c.parameters.arrowPerspective << ", depth " << c.parameters.arrowDepth;
        rig().renderer.setSpecialisation(false);
        EXPECT_EQ(image, rig().render(c)) << c.name;
        rig().renderer.setSpecialisation(true);
    }
}
