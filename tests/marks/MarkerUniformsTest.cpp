// Packing of marker parameters into the shader's three parameter blocks.

#include "marks/GXLSettings.h"
#include "marks/MarkerParameters.h"
#include "support/TableNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <random>

using namespace zanto;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr float pi = std::numbers::pi_v<float>;

void expectNear(Float4 actual, Float4 expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    EXPECT_NEAR(actual.w, expected.w, tolerance);
}

template <typename Block>
bool holdsNaN(const Block& block)
{
    const auto* lanes = reinterpret_cast<const float*>(&block);
    for (std::size_t i = 0; i < sizeof(Block) / sizeof(float); ++i) {
        if (std::isnan(lanes[i])) return true;
    }
    return false;
}

// The byte offset of every vector is the contract with the shader.
struct Offset {
    const char* field;
    std::size_t actual;
    std::size_t expected;
};

class BlockLayout : public testing::TestWithParam<Offset> { };

TEST_P(BlockLayout, VectorSitsAtItsByte)
{
    EXPECT_EQ(GetParam().actual, GetParam().expected) << GetParam().field;
}

#define AT(Block, field, bytes)                                                                                        \
    Offset                                                                                                             \
    {                                                                                                                  \
#Block "." #field, offsetof(Block, field), bytes                                                               \
    }

INSTANTIATE_TEST_SUITE_P(Vectors, BlockLayout,
                         testing::Values(AT(MarkerUniforms, color1, 0), AT(MarkerUniforms, geometry, 32),
                                         AT(MarkerUniforms, look, 64), AT(MarkerUniforms, hull23, 128),
                                         AT(MarkerUniforms, tactics, 144), AT(MarkerUniforms, tacticalColor, 176),
                                         AT(MarkerUniforms, points45, 192), AT(MarkerUniforms, pointsAB, 240),
                                         AT(MarkerUniforms, hull45, 256), AT(MarkerUniforms, hullAB, 304),
                                         AT(MarkerUniforms, arrowEnds, 320), AT(MarkerUniforms, arrowColor, 368),
                                         AT(MarkerUniforms, arrowPath, 384), AT(MarkerUniforms, arcOptions, 400),
                                         AT(GroundUniforms, space, 0), AT(GroundUniforms, mask, 32),
                                         AT(GroundUniforms, viewport, 48), AT(GroundUniforms, ringSizes8B, 96),
                                         AT(GroundUniforms, vision, 112), AT(GroundUniforms, wave, 128)));

#undef AT

TEST(MarkerUniforms, DefaultsAtFullHD)
{
    MarkerUniforms u = MarkerParameters().uniforms(1920, 1080, 0);
    EXPECT_EQ(u.points01, (Float4{576, 432, 1344, 432}));
    EXPECT_EQ(u.points23, (Float4{1344, 756, 576, 756}));
    EXPECT_EQ(u.points45, Float4{});
    EXPECT_EQ(u.tactics.x, 4);
    EXPECT_EQ(u.fill.y, 4);
    EXPECT_EQ(u.hull01, (Float4{576, 432, 1344, 432}));
    EXPECT_EQ(u.hull23, (Float4{1344, 756, 576, 756}));
    EXPECT_EQ(u.hull45, Float4{});
    EXPECT_EQ(u.shape, (Float4{18, 10, 0.2f, 0}));
    EXPECT_EQ(u.look, (Float4{0.25f, 1, 1, 0}));
    EXPECT_EQ(u.arcOptions.x, 0);
    EXPECT_EQ(u.arcOptions.y, 24);
    EXPECT_EQ(u.geometry, (Float4{960, 0.65f * 1080, 100, 0.3f}));
    EXPECT_EQ(u.arrowEnds, (Float4{480, 540, 1440, 540}));
    EXPECT_EQ(u.arrowPath.w, 0);
}

// The length scale follows the target's width only.
struct ScaleCase {
    int width;
    int height;
    float scale;
};

class MarkerUniformsScale : public testing::TestWithParam<ScaleCase> { };

TEST_P(MarkerUniformsScale, LengthsFollowTheWidth)
{
    const ScaleCase& c = GetParam();
    MarkerUniforms u = MarkerParameters().uniforms(c.width, c.height, 0);
    GroundUniforms g = MarkerParameters().groundUniforms(c.width, c.height);
    EXPECT_FLOAT_EQ(u.look.z, c.scale);
    EXPECT_FLOAT_EQ(u.shape.x, 18 * c.scale);
    EXPECT_FLOAT_EQ(u.arrowShape.x, 70 * c.scale);
    EXPECT_FLOAT_EQ(g.space.y, 700 * c.scale);
    EXPECT_EQ(g.viewport, (Float4{static_cast<float>(c.width), static_cast<float>(c.height), 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Targets, MarkerUniformsScale,
                         testing::Values(ScaleCase{1920, 1080, 1}, ScaleCase{1280, 720, 2.0f / 3},
                                         ScaleCase{1920, 1440, 1}, ScaleCase{3840, 2160, 2}));

TEST(MarkerUniforms, PointCountLimitsThePackedPoints)
{
    MarkerUniforms two = MarkerParameters{.pointCount = 2}.uniforms(1920, 1080, 0);
    EXPECT_EQ(two.tactics.x, 2);
    EXPECT_EQ(two.points23, Float4{});
    EXPECT_EQ(two.fill.y, 2);
    EXPECT_EQ(two.hull01, (Float4{576, 432, 1344, 432}));
    EXPECT_EQ(two.hull23, Float4{});

    MarkerParameters many{.pointCount = 20};
    many.points.clear();
    for (int i = 0; i < 20; ++i) many.points.push_back({0.01f * (i + 1), 0.5f});
    MarkerUniforms u = many.uniforms(100, 100, 0);
    EXPECT_EQ(u.tactics.x, 12);
    EXPECT_FLOAT_EQ(u.pointsAB.z, 12); // the 12th point, x = 0.12 * 100

    EXPECT_EQ(MarkerParameters{.pointCount = -3}.uniforms(100, 100, 0).tactics.x, 0);
    EXPECT_EQ(MarkerParameters{.pointCount = -3}.uniforms(100, 100, 0).fill.y, 0);
}

// Rounding half away from zero and the shape clamps.
struct ShapeCase {
    float segments;
    float gap;
    float packedSegments;
    float packedGap;
};

class MarkerUniformsShape : public testing::TestWithParam<ShapeCase> { };

TEST_P(MarkerUniformsShape, SegmentsAndGap)
{
    const ShapeCase& c = GetParam();
    MarkerUniforms u = MarkerParameters{.segments = c.segments, .gap = c.gap}.uniforms(1920, 1080, 0);
    EXPECT_EQ(u.shape.y, c.packedSegments);
    EXPECT_FLOAT_EQ(u.shape.z, c.packedGap);
}

INSTANTIATE_TEST_SUITE_P(Values, MarkerUniformsShape,
                         testing::Values(ShapeCase{2.5f, 20, 3, 0.2f}, ShapeCase{1, 120, 2, 0.95f},
                                         ShapeCase{3.5f, -10, 4, 0}, ShapeCase{-2.5f, 50, 2, 0.5f},
                                         ShapeCase{14.49f, 36, 14, 0.36f}));

// The entrance animation: opacity, size and wobble factors.
struct EntranceCase {
    bool enabled;
    std::optional<double> elapsed;
    double seconds;
    MarkerParameters::Entrance expected;
};

class MarkerEntrance : public testing::TestWithParam<EntranceCase> { };

TEST_P(MarkerEntrance, Factors)
{
    const EntranceCase& c = GetParam();
    MarkerParameters p{.entranceEnabled = c.enabled, .entranceDuration = 0.7f, .entranceElapsed = c.elapsed};
    MarkerParameters::Entrance e = p.entrance(c.seconds);
    EXPECT_NEAR(e.opacity, c.expected.opacity, 1e-5);
    EXPECT_NEAR(e.size, c.expected.size, 1e-5);
    EXPECT_NEAR(e.wobble, c.expected.wobble, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(
    Times, MarkerEntrance,
    testing::Values(EntranceCase{true, 0.0, 5, {0, 0.6f, 0}}, EntranceCase{true, 0.7, 0, {1, 1, 0}},
                    EntranceCase{true, 3.0, 0, {1, 1, 0}}, EntranceCase{false, 0.0, 0, {1, 1, 0}},
                    EntranceCase{false, std::nullopt, 0.1, {1, 1, 0}},
                    EntranceCase{true, std::nullopt, 0, {0, 0.6f, 0}}, EntranceCase{true, -4.0, 0, {0, 0.6f, 0}},
                    // Halfway: ease 1 - 0.5^3, wobble 14 sin(pi) e^-2.5 = 0.
                    EntranceCase{true, 0.35, 0, {0.875f, 0.95f, 0}},
                    EntranceCase{
                        true,
                        std::nullopt,
                        0.175,
                        {1 - 0.75f * 0.75f * 0.75f, 0.6f + 0.4f * (1 - 0.75f * 0.75f * 0.75f), 14 * std::exp(-1.25f)}},
                    EntranceCase{true, std::nullopt, nan, {0, 0.6f, 0}},
                    EntranceCase{true, std::nullopt, inf, {1, 1, 0}}));

TEST(MarkerUniforms, EntranceScalesSizeAndOpacities)
{
    MarkerParameters p{.opacity = 100, .entranceEnabled = true, .entranceElapsed = 0.0};
    MarkerUniforms u = p.uniforms(1920, 1080, 9);
    EXPECT_FLOAT_EQ(u.geometry.z, 60);
    EXPECT_EQ(u.look.y, 0);
    EXPECT_EQ(u.tactics.w, 0);
    EXPECT_EQ(u.arrowStyle.w, 0);
}

struct ArcCase {
    std::int64_t motion;
    double seconds;
    float share;
    float phase;
};

class MarkerUniformsArc : public testing::TestWithParam<ArcCase> { };

TEST_P(MarkerUniformsArc, DrawShareAndPhase)
{
    const ArcCase& c = GetParam();
    MarkerParameters p{
        .arrowAnimated = true, .arcMotionMode = c.motion, .arcAnimationDuration = 1.2f, .drawProgress = 100};
    MarkerUniforms u = p.uniforms(1920, 1080, c.seconds);
    EXPECT_NEAR(u.arrowPath.y, c.share, 1e-5);
    EXPECT_NEAR(u.arcOptions.w, c.phase, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Times, MarkerUniformsArc,
                         testing::Values(ArcCase{1, 0, 0, 0}, ArcCase{1, 0.6, 0.5f, 0.5f}, ArcCase{1, 1.2, 1, 0},
                                         ArcCase{1, 1.8, 1, 0.5f}, ArcCase{1, 2.4, 1, 0}, ArcCase{0, 0, 1, 0},
                                         ArcCase{0, 0.6, 1, 0.5f}, ArcCase{0, 7, 1, 7 / 1.2f - 5}));

TEST(MarkerUniforms, ArcStillWhenNotAnimated)
{
    MarkerParameters p{.arrowAnimated = false, .arcMotionMode = 1, .drawProgress = 40};
    MarkerUniforms u = p.uniforms(1920, 1080, 0.6);
    EXPECT_FLOAT_EQ(u.arrowPath.y, 0.4f);
    EXPECT_EQ(u.arcOptions.w, 0);
    EXPECT_EQ(u.arrowStyle.y, 0);
}

TEST(MarkerUniforms, DashedArcAndClamps)
{
    MarkerParameters p{.arrowMode = 9, .arcLinePattern = 1, .dashLength = 0.2f, .trailLength = 0};
    p.ringStyle = -4;
    MarkerUniforms u = p.uniforms(1920, 1080, 0);
    EXPECT_EQ(u.arcOptions.x, 1);
    EXPECT_EQ(u.arrowStyle.x, 5);
    EXPECT_FLOAT_EQ(u.arrowPath.z, 0.01f);
    EXPECT_EQ(u.arrowPath.w, 0);
    EXPECT_EQ(MarkerParameters{.ringStyle = 12}.uniforms(1920, 1080, 0).arrowPath.w, 7);
}

struct AngleCase {
    float speed;
    float direction;
    double seconds;
    float angle;
};

class MarkerUniformsRingAngle : public testing::TestWithParam<AngleCase> { };

TEST_P(MarkerUniformsRingAngle, RemainderKeepsTheSign)
{
    const AngleCase& c = GetParam();
    MarkerUniforms u = MarkerParameters{.speed = c.speed, .direction = c.direction}.uniforms(1920, 1080, c.seconds);
    EXPECT_NEAR(u.shape.w, c.angle, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Times, MarkerUniformsRingAngle,
                         testing::Values(AngleCase{1, 1, 0.25, pi / 2}, AngleCase{1, -1, 0.25, -pi / 2},
                                         AngleCase{1, 1, 1.75, 1.5f * pi}, AngleCase{2, -1, 1.125, -pi / 2},
                                         AngleCase{1, 1, -0.25, -pi / 2}));

// Guards: no time, however wrong, puts a NaN into a block.
class MarkerBlocksTime : public testing::TestWithParam<double> { };

TEST_P(MarkerBlocksTime, NoNaNLanes)
{
    MarkerParameters p{.entranceEnabled = true, .arrowAnimated = true, .arcMotionMode = 1, .waveEnabled = true};
    MarkerUniforms u = p.uniforms(1280, 720, GetParam());
    GroundUniforms g = p.groundUniforms(1280, 720, GetParam());
    EXPECT_FALSE(holdsNaN(u));
    EXPECT_FALSE(holdsNaN(g));
    if (!std::isfinite(GetParam())) {
        EXPECT_EQ(u.shape.w, 0);
        EXPECT_EQ(u.arrowStyle.y, 0);
        EXPECT_EQ(u.arcOptions.w, 0);
        EXPECT_EQ(g.wave.x, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Times, MarkerBlocksTime, testing::Values(inf, -inf, nan, 1e308, -1e308, 0.0, 3.3));

TEST(MarkerBlocks, NaNFieldsArePackedAsNumbers)
{
    const float fnan = std::numeric_limits<float>::quiet_NaN();
    MarkerParameters p{
        .color1 = {fnan, 0, 0, 1}, .position = {fnan, fnan}, .arcHeight = fnan, .groundColor = {fnan, 0, 0}};
    p.points = {{fnan, 0.2f}, {0.5f, fnan}, {0.2f, 0.2f}, {0.6f, 0.6f}, {0.9f, 0.1f}};
    p.pointCount = 5;
    p.trailState.assign(523, fnan);
    EXPECT_FALSE(holdsNaN(p.uniforms(1280, 720, 1)));
    EXPECT_FALSE(holdsNaN(p.groundUniforms(1280, 720, 1)));
    EXPECT_FALSE(holdsNaN(p.trailUniforms(1280, 720)));
    // Only the three finite points make the hull.
    EXPECT_EQ(p.uniforms(1280, 720, 1).fill.y, 3);
}

TEST(GroundUniforms, DefaultsAtFullHD)
{
    GroundUniforms g = MarkerParameters().groundUniforms(1920, 1080);
    EXPECT_EQ(g.space, (Float4{0, 700, 280, 3}));
    EXPECT_EQ(g.key, (Float4{0.3f, 0.38f, 0.12f, 0}));
    EXPECT_EQ(g.mask, (Float4{1, 0.18f, 0.08f, 0}));
    EXPECT_EQ(g.ringSizes03, (Float4{1, 1, 1, 1}));
    EXPECT_FLOAT_EQ(g.vision.x, 65 * pi / 180);
    EXPECT_EQ(g.vision.y, 180);
    EXPECT_EQ(g.vision.z, 0.5f);
    EXPECT_EQ(g.vision.w, 0);
    EXPECT_EQ(g.wave, (Float4{0, 0.3f, 0, 0.12f}));
}

TEST(GroundUniforms, RingSizes)
{
    const float fnan = std::numeric_limits<float>::quiet_NaN();
    MarkerParameters p;
    p.ringSizes = {1000, 0, fnan};
    GroundUniforms g = p.groundUniforms(1920, 1080);
    EXPECT_EQ(g.ringSizes03, (Float4{3, 0.1f, 1, 1}));
    EXPECT_EQ(g.ringSizes47, (Float4{1, 1, 1, 1}));
    EXPECT_EQ(g.ringSizes8B, (Float4{1, 1, 1, 1}));
    p.ringSizes = std::vector<float>(14, 50);
    EXPECT_EQ(p.groundUniforms(1920, 1080).ringSizes8B, (Float4{0.5f, 0.5f, 0.5f, 0.5f}));
}

struct VisionCase {
    float angle;
    std::int64_t laneStart;
    std::int64_t laneEnd;
    float radians;
    float laneEnds;
};

class GroundUniformsVision : public testing::TestWithParam<VisionCase> { };

TEST_P(GroundUniformsVision, AngleAndLaneEnds)
{
    const VisionCase& c = GetParam();
    MarkerParameters p{.visionAngle = c.angle, .laneStartStyle = c.laneStart, .laneEndStyle = c.laneEnd};
    GroundUniforms g = p.groundUniforms(1920, 1080);
    EXPECT_NEAR(g.vision.x, c.radians, 1e-4);
    EXPECT_EQ(g.vision.w, c.laneEnds);
}

INSTANTIATE_TEST_SUITE_P(Values, GroundUniformsVision,
                         testing::Values(VisionCase{200, 1, 2, 2.7925f, 9}, VisionCase{5, 0, 0, 0.174533f, 0},
                                         VisionCase{90, 3, 7, pi / 2, 10}, VisionCase{65, -1, -1, 1.134464f, 0},
                                         VisionCase{65, 2, 0, 1.134464f, 2}));

struct WaveCase {
    bool enabled;
    float speed;
    float strength;
    double seconds;
    float phase;
    float packedStrength;
};

class GroundUniformsWave : public testing::TestWithParam<WaveCase> { };

TEST_P(GroundUniformsWave, PhaseAndStrength)
{
    const WaveCase& c = GetParam();
    MarkerParameters p{.waveEnabled = c.enabled, .waveSpeed = c.speed, .waveStrength = c.strength};
    GroundUniforms g = p.groundUniforms(1920, 1080, c.seconds);
    EXPECT_NEAR(g.wave.x, c.phase, 1e-5);
    EXPECT_FLOAT_EQ(g.wave.z, c.packedStrength);
}

INSTANTIATE_TEST_SUITE_P(Times, GroundUniformsWave,
                         testing::Values(WaveCase{true, 0.5f, 40, 1.5, 0.75f, 0.4f},
                                         WaveCase{false, 0.5f, 40, 1.5, 0.75f, 0}, WaveCase{true, -2, 150, 1.5, 0, 1},
                                         WaveCase{true, 0.5f, 40, -3, 0, 0.4f}, WaveCase{true, 0.5f, 40, inf, 0, 0.4f},
                                         WaveCase{true, 0.5f, 40, nan, 0, 0.4f}));

TEST(TrailUniforms, OnlyTheTwoStateLengthsDrawATrail)
{
    for (std::size_t length : {0u, 519u, 521u, 600u}) {
        MarkerParameters p;
        p.trailState.assign(length, 1.0f);
        EXPECT_EQ(p.trailUniforms(1280, 720), TrailUniforms{}) << length;
    }
    MarkerParameters p;
    p.trailState.assign(520, 0.0f);
    p.trailState[11] = 1;    // slot 0 used
    p.trailState[15] = 0.5f; // slot 1 not (the test is "above 0.5")
    p.trailState[519] = 0.75f;
    TrailUniforms t = p.trailUniforms(1280, 720);
    EXPECT_EQ(t[130], (Float4{0, 0, 0, 2}));
}

TEST(TrailUniforms, RingTrailOfANewMarkAt1280)
{
    GXLSettings s = GXLSettings::material("Ring Trail");
    TrailUniforms t = s.parameters().trailUniforms(1280, 720);
    expectNear(t[0], {16.0f * 1280 / 1920, 1, 0.1f, 0}, 1e-6f);
    EXPECT_EQ(t[1], (Float4{static_cast<float>(s.color[0]), static_cast<float>(s.color[1]),
                            static_cast<float>(s.color[2]), 1}));
    expectNear(t[130], {2, 0.45f, 0.85f, 2}, 1e-6f);
    // Slots flip to the top-left origin: (0.35, 0.4) and (0.65, 0.55).
    expectNear(t[2], {0.35f * 1280, 0.6f * 720, 1, 1}, 1e-3f);
    expectNear(t[3], {0.65f * 1280, 0.45f * 720, 1, 1}, 1e-3f);
    EXPECT_EQ(t[4], (Float4{0, 720, 0, 0}));
}

TEST(TrailUniforms, HeaderClamps)
{
    MarkerParameters p;
    p.trailState.assign(523, 0.0f);
    p.trailState[0] = 0.1f;
    p.trailState[1] = 250;
    p.trailState[2] = -5;
    p.trailState[3] = 7;
    p.trailState[520] = 9;
    p.trailState[521] = -1;
    p.trailState[522] = 300;
    TrailUniforms t = p.trailUniforms(1920, 1080);
    EXPECT_EQ(t[0], (Float4{0.5f, 1, 0, 1}));
    EXPECT_EQ(t[130], (Float4{2, 0, 1, 0}));
}

struct HullCase {
    const char* name;
    std::vector<Float2> points;
    std::vector<Float2> hull;
};

class MarkerHull : public testing::TestWithParam<HullCase> { };

TEST_P(MarkerHull, MonotoneChain)
{
    EXPECT_EQ(MarkerParameters::hull(GetParam().points), GetParam().hull);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MarkerHull,
    testing::Values(HullCase{"collinear", {{3, 3}, {1, 1}, {4, 4}, {2, 2}}, {{1, 1}, {4, 4}}},
                    HullCase{"two equal", {{2, 5}, {2, 5}}, {{2, 5}, {2, 5}}},
                    HullCase{"two sorted", {{5, 1}, {2, 9}}, {{2, 9}, {5, 1}}}, HullCase{"empty", {}, {}},
                    HullCase{"inner point dropped",
                             {{0, 0}, {10, 0}, {5, 3}, {10, 10}, {0, 10}},
                             {{0, 0}, {10, 0}, {10, 10}, {0, 10}}},
                    HullCase{"repeated corners", {{0, 0}, {0, 0}, {4, 0}, {4, 0}, {2, 4}}, {{0, 0}, {4, 0}, {2, 4}}}),
    test::ByName());

// Whatever the points, the hull is made of input points, turns one way only,
// and leaves no input point outside any of its edges.
TEST(MarkerHull, EnclosesEveryPoint)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(0, 20);
    auto cross = [](Float2 o, Float2 a, Float2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); };
    for (int round = 0; round < 200; ++round) {
        std::vector<Float2> points(3 + round % 10);
        for (Float2& p : points) p = {static_cast<float>(coordinate(random)), static_cast<float>(coordinate(random))};
        const std::vector<Float2> hull = MarkerParameters::hull(points);
        for (std::size_t i = 0; i < hull.size(); ++i) {
            EXPECT_NE(std::find(points.begin(), points.end(), hull[i]), points.end());
            const Float2 a = hull[i];
            const Float2 b = hull[(i + 1) % hull.size()];
            if (hull.size() >= 3) {
                EXPECT_GT(cross(a, b, hull[(i + 2) % hull.size()]), 0) << round;
            }
            for (Float2 p : points) EXPECT_GE(cross(a, b, p), 0) << round;
        }
    }
}

TEST(MarkerBlocks, EveryToolPacksFromItsNewMark)
{
    for (const std::string& tool : GXLSettings::tools()) {
        MarkerParameters p = GXLSettings::material(tool).parameters();
        MarkerUniforms u = p.uniforms(1280, 720, 0.5);
        GroundUniforms g = p.groundUniforms(1280, 720, 0.5);
        TrailUniforms t = p.trailUniforms(1280, 720);
        EXPECT_FALSE(holdsNaN(u) || holdsNaN(g) || holdsNaN(t)) << tool;
        EXPECT_EQ(u.tactics.x, static_cast<float>(p.pointCount)) << tool;
        EXPECT_EQ(g.mask.x, GXLSettings::material(tool).ground() ? 1 : 0) << tool;
        EXPECT_EQ(t[130].w, tool == "Ring Trail" ? 2 : 0) << tool;
    }
}

} // namespace
