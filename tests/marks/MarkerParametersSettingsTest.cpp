// Settings of saved marks turned into the marker the renderer draws.

#include "marks/GXLPreset.h"
#include "marks/GXLSettings.h"
#include "marks/MarkerParameters.h"
#include "support/MarkerTestTables.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

using namespace zanto;

namespace {

GXLSettings settings(const char* tool, std::vector<GXLPoint> points, double size = 75, double perspective = 15,
                     double opacity = 100)
{
    GXLSettings s;
    s.tool = tool;
    s.points = std::move(points);
    s.color = {0.2, 0.4, 0.6, 0.8};
    s.size = size;
    s.perspective = perspective;
    s.opacity = opacity;
    s.speed = 0.35;
    return s;
}

TEST(SettingsToParameters, PointsTurnToTopLeftOriginButTrailStateKeepsMarkY)
{
    MarkerParameters p = settings("Ring Trail", {{0.2, 0.25}}).parameters();
    const Float2 turned = {0.2f, 0.75f};
    EXPECT_EQ(p.points, std::vector<Float2>{turned});
    EXPECT_EQ(p.position, turned);
    EXPECT_EQ(p.arrowStart, turned);
    EXPECT_EQ(p.arrowEnd, turned);
    ASSERT_EQ(p.trailState.size(), 523u);
    EXPECT_EQ(p.trailState[8], 0.2f);
    EXPECT_EQ(p.trailState[9], 0.25f);
}

TEST(SettingsToParameters, OnlyTwelvePointsReachTheMarkerButTheArrowEndsAtTheLast)
{
    std::vector<GXLPoint> twenty;
    for (int i = 0; i < 20; ++i) twenty.push_back({i / 20.0, 0.1});
    MarkerParameters p = settings("Team Rings", twenty).parameters();
    EXPECT_EQ(p.points.size(), 12u);
    EXPECT_EQ(p.pointCount, 12);
    EXPECT_EQ(p.arrowEnd, (Float2{static_cast<float>(19 / 20.0), 0.9f}));
    EXPECT_TRUE(p.multipleRings);
}

TEST(SettingsToParameters, OnePointRingSitsOnItsPoint)
{
    MarkerParameters p = settings("Player Ring", {{0.6, 0.3}}).parameters();
    EXPECT_EQ(p.position, (Float2{0.6f, 0.7f}));
    EXPECT_EQ(p.arrowStart, p.position);
    EXPECT_EQ(p.arrowEnd, p.position);
    EXPECT_EQ(p.pointCount, 1);
}

TEST(SettingsToParameters, NumbersNarrowAndColourGoesEverywhere)
{
    MarkerParameters p = settings("Player Ring", {{0.5, 0.5}}, 120, 40).parameters();
    EXPECT_EQ(p.speed, 0.35f);
    EXPECT_EQ(p.size, 120);
    EXPECT_EQ(p.perspective, 40);
    const Float4 c = {0.2f, 0.4f, 0.6f, 0.8f};
    EXPECT_EQ(p.color1, c);
    EXPECT_EQ(p.tacticalColor, c);
    EXPECT_EQ(p.arrowColor, c);
}

// Per-tool rules: each case names the fields that must come out.
struct ToolCase {
    const char* tool;
    double size;
    double perspective;
    double opacity;
    void (*check)(const MarkerParameters&);
};

class SettingsToolRules : public testing::TestWithParam<ToolCase> { };

TEST_P(SettingsToolRules, Fields)
{
    const ToolCase& c = GetParam();
    GetParam().check(settings(c.tool, {{0.3, 0.4}, {0.7, 0.6}}, c.size, c.perspective, c.opacity).parameters());
}

INSTANTIATE_TEST_SUITE_P(Tools, SettingsToolRules,
                         testing::Values(ToolCase{"Passing Lane", 75, 15, 50,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.opacity, 50);
                                                      EXPECT_EQ(p.arrowOpacity, 50);
                                                      EXPECT_EQ(p.fillOpacity, 11);
                                                      EXPECT_EQ(p.lineOpacity, 75);
                                                      EXPECT_EQ(p.corridorWidth, 180);
                                                      EXPECT_EQ(p.spaceMode, 5);
                                                      EXPECT_EQ(p.ringStyle, 3);
                                                      EXPECT_FALSE(p.groundOnly);
                                                  }},
                                         ToolCase{"Ground Passing Lane", 150, 15, 100,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.corridorWidth, 360);
                                                      EXPECT_TRUE(p.groundOnly);
                                                  }},
                                         ToolCase{"Lofted Arc", 70, 30, 60,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.arrowWidth, 200);
                                                      EXPECT_EQ(p.opacity, 0);
                                                      // The opacity ratio is narrowed before it scales: 100 * 0.6f.
                                                      EXPECT_EQ(p.arrowOpacity, 100 * 0.6f);
                                                      EXPECT_NE(p.arrowOpacity, 60);
                                                      EXPECT_EQ(p.arrowMode, 4);
                                                      EXPECT_EQ(p.arcHeight, 260);
                                                      EXPECT_EQ(p.arrowColor, (Float4{0.2f, 0.4f, 0.6f, 0.8f}));
                                                  }},
                                         ToolCase{"Space Circle", 150, 30, 100,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.spaceWidth, 1400);
                                                      EXPECT_EQ(p.spaceHeight, 560);
                                                      EXPECT_EQ(p.spaceMode, 1);
                                                      EXPECT_TRUE(p.groundOnly);
                                                  }},
                                         ToolCase{"Space Rectangle", 75, 15, 100,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.spaceWidth, 700);
                                                      EXPECT_EQ(p.spaceHeight, 280);
                                                      EXPECT_EQ(p.spaceMode, 2);
                                                  }},
                                         ToolCase{"Space Polygon", 75, 15, 100,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.spaceMode, 3);
                                                      EXPECT_EQ(p.lineMode, 2);
                                                      EXPECT_EQ(p.ringStyle, 3);
                                                  }},
                                         ToolCase{"Spotlight", 75, 15, 100,
                                                  [](const MarkerParameters& p) { EXPECT_EQ(p.ringStyle, 6); }},
                                         ToolCase{"Team Fill", 75, 15, 40,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_TRUE(p.multipleRings);
                                                      EXPECT_EQ(p.fillOpacity, 10);
                                                      EXPECT_EQ(p.opacity, 40);
                                                  }},
                                         ToolCase{"Vision Cone", 75, 35, 100,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.visionAngle, 65);
                                                      EXPECT_EQ(p.visionPerspective, 35);
                                                      EXPECT_EQ(p.spaceMode, 4);
                                                      EXPECT_FALSE(p.groundOnly);
                                                  }},
                                         ToolCase{"Ring Trail", 150, 15, 70,
                                                  [](const MarkerParameters& p) {
                                                      EXPECT_EQ(p.trailState[0], 32);
                                                      EXPECT_EQ(p.position, p.arrowEnd);
                                                      EXPECT_FALSE(p.multipleRings);
                                                  }}),
                         test::ToolName());

TEST(SettingsToParameters, GroundVisionDiffersFromVisionConeOnlyInTheTurfKey)
{
    MarkerParameters cone = settings("Vision Cone", {{0.3, 0.4}, {0.7, 0.6}}, 75, 35).parameters();
    MarkerParameters ground = settings("Ground Vision", {{0.3, 0.4}, {0.7, 0.6}}, 75, 35).parameters();
    EXPECT_FALSE(cone.groundOnly);
    EXPECT_TRUE(ground.groundOnly);
    ground.groundOnly = false;
    EXPECT_EQ(cone, ground);
}

TEST(SettingsToParameters, RingTrailStateLayout)
{
    MarkerParameters p = settings("Ring Trail", {{0.1, 0.2}, {0.3, 0.4}, {0.5, 0.6}}, 75, 15, 64).parameters();
    const std::vector<float>& ts = p.trailState;
    ASSERT_EQ(ts.size(), 523u);
    EXPECT_EQ(ts[0], 16);
    EXPECT_EQ(ts[1], 64);
    EXPECT_EQ(ts[2], 10);
    EXPECT_EQ(ts[3], 0);
    EXPECT_EQ((std::vector<float>(ts.begin() + 4, ts.begin() + 8)), (std::vector<float>{0.2f, 0.4f, 0.6f, 1}));
    EXPECT_EQ((std::vector<float>(ts.begin() + 8, ts.begin() + 20)),
              (std::vector<float>{0.1f, 0.2f, 1, 1, 0.3f, 0.4f, 1, 1, 0.5f, 0.6f, 1, 1}));
    for (std::size_t i = 20; i < 520; ++i) EXPECT_EQ(ts[i], 0) << i;
    EXPECT_EQ(ts[520], 2);
    EXPECT_EQ(ts[521], 45);
    EXPECT_EQ(ts[522], 85);
    EXPECT_EQ(p.position, (Float2{0.5f, 0.4f}));
    EXPECT_EQ(p.opacity, 64);
}

TEST(SettingsToParameters, RingTrailKeepsAtMost128Slots)
{
    std::vector<GXLPoint> many(128, GXLPoint{0.5, 0.5});
    MarkerParameters p = settings("Ring Trail", many).parameters();
    EXPECT_EQ(p.trailState.size(), 523u);
    EXPECT_EQ(p.trailState[519], 1);
    EXPECT_EQ(p.trailState[520], 2);
}

TEST(SettingsToParameters, UnvalidatedSettingsWithoutPointsOrColourKeepThePreset)
{
    GXLSettings s;
    s.tool = "Ring Trail";
    s.color = {1, 0};
    MarkerParameters p = s.parameters();
    const MarkerParameters preset = GXLPreset::parameters("Ring Trail");
    EXPECT_EQ(p.points, preset.points);
    EXPECT_EQ(p.position, preset.position);
    EXPECT_EQ(p.color1, preset.color1);
    EXPECT_EQ(p.trailState.size(), 523u);
}

// Everything a mark's settings do not name stays as the tool's preset: with
// the fields that the settings and the tool's own rule may set put back to
// the preset's values, the marker equals the preset, for every tool and for
// settings drawn at random inside the valid ranges.
using Restore = void (*)(MarkerParameters&, const MarkerParameters&);
using P = MarkerParameters;

// Puts the named fields of `q` back into `p`.
template <auto... fields>
void restore([[maybe_unused]] MarkerParameters& p, [[maybe_unused]] const MarkerParameters& q)
{
    ((p.*fields = q.*fields), ...);
}

// What the settings themselves set.
constexpr Restore restoreSettingsFields =
    restore<&P::points, &P::pointCount, &P::position, &P::size, &P::perspective, &P::speed, &P::color1,
            &P::tacticalColor, &P::arrowColor, &P::groundOnly, &P::arrowStart, &P::arrowEnd, &P::opacity,
            &P::arrowOpacity, &P::fillOpacity>;

// What each tool's own rule sets besides.
struct ToolFieldsCase {
    const char* tool;
    Restore restoreToolRule;
};

void PrintTo(const ToolFieldsCase& c, std::ostream* out)
{
    *out << c.tool;
}

constexpr Restore rings = restore<&P::multipleRings>;
constexpr Restore lane = restore<&P::ringStyle, &P::spaceMode, &P::corridorWidth>;
constexpr Restore vision = restore<&P::ringStyle, &P::spaceMode, &P::visionAngle, &P::visionPerspective>;
constexpr Restore area = restore<&P::ringStyle, &P::spaceMode, &P::spaceWidth, &P::spaceHeight>;

const ToolFieldsCase toolFieldsCases[] = {
    {"Player Ring", restore<>},
    {"Ground Ring", restore<>},
    {"Team Rings", rings},
    {"Ground Team", rings},
    {"Team Fill", rings},
    {"Lofted Arc", restore<&P::arrowMode, &P::arcHeight, &P::arrowWidth>},
    {"Spotlight", restore<&P::ringStyle>},
    {"Passing Lane", lane},
    {"Ground Passing Lane", lane},
    {"Vision Cone", vision},
    {"Ground Vision", vision},
    {"Space Circle", area},
    {"Space Rectangle", area},
    {"Space Polygon", restore<&P::ringStyle, &P::spaceMode, &P::lineMode>},
    {"Ring Trail", restore<&P::multipleRings, &P::lineMode, &P::trailState>},
};

class SettingsLeavePresetFields : public testing::TestWithParam<ToolFieldsCase> { };

TEST_P(SettingsLeavePresetFields, OnlyNamedFieldsChange)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 50; ++round) {
        GXLSettings s;
        s.tool = GetParam().tool;
        s.points.resize(1 + random() % 20);
        for (GXLPoint& point : s.points) point = {unit(random), unit(random)};
        s.color = {unit(random), unit(random), unit(random), unit(random)};
        s.size = 10 + 390 * unit(random);
        s.perspective = 5 + 95 * unit(random);
        s.opacity = 100 * unit(random);
        s.speed = 4 * unit(random);
        ASSERT_TRUE(s.validate());

        const MarkerParameters q = GXLPreset::parameters(s.tool);
        MarkerParameters p = s.parameters();
        restoreSettingsFields(p, q);
        GetParam().restoreToolRule(p, q);
        EXPECT_EQ(p, q) << s.tool << " round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, SettingsLeavePresetFields, testing::ValuesIn(toolFieldsCases), test::ToolName());

TEST(SettingsLeavePresetFields, EveryToolIsListed)
{
    test::expectEveryToolListed(toolFieldsCases);
}

} // namespace
