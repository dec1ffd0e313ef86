#include "marks/GXLPreset.h"
#include "marks/GXLSettings.h"
#include "services/JsonCoding.h"
#include "support/MarkerTestTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zanto;

namespace {

// What tells the fourteen ring, lane and space presets apart.
struct PresetCase {
    const char* tool;
    bool multipleRings;
    std::int64_t ringStyle;
    Float4 color1;
    float glow;
    std::int64_t lineMode;
    float lineWidth;
    float lineOpacity;
    float fillOpacity;
};

constexpr Float4 orange = {1, 0.578105f, 0, 1};
constexpr Float4 gold = {1, 0.83f, 0.35f, 1};

const PresetCase presetCases[] = {
    {"Player Ring", true, 1, orange, 55, 1, 3, 100, 0},     {"Team Rings", true, 1, orange, 55, 1, 3, 100, 0},
    {"Ground Ring", true, 1, orange, 55, 1, 3, 100, 0},     {"Team Fill", true, 1, orange, 55, 2, 3, 100, 25},
    {"Ground Team", true, 1, orange, 55, 2, 3, 100, 25},    {"Ring Trail", false, 1, orange, 55, 0, 3, 0, 0},
    {"Spotlight", true, 6, gold, 55, 1, 3, 100, 0},         {"Passing Lane", false, 3, orange, 15, 0, 2, 75, 22},
    {"Vision Cone", false, 3, orange, 15, 0, 2, 75, 22},    {"Ground Passing Lane", false, 3, orange, 15, 0, 2, 75, 22},
    {"Ground Vision", false, 3, orange, 15, 0, 2, 75, 22},  {"Space Circle", false, 3, orange, 0, 2, 2, 70, 30},
    {"Space Rectangle", false, 3, orange, 0, 2, 2, 70, 30}, {"Space Polygon", true, 3, orange, 0, 2, 2, 70, 30},
};

class GXLPresetLooks : public testing::TestWithParam<PresetCase> { };

TEST_P(GXLPresetLooks, DistinctiveFields)
{
    const PresetCase& c = GetParam();
    MarkerParameters p = GXLPreset::parameters(c.tool);
    EXPECT_EQ(p.multipleRings, c.multipleRings);
    EXPECT_EQ(p.ringStyle, c.ringStyle);
    EXPECT_EQ(p.color1, c.color1);
    EXPECT_EQ(p.glow, c.glow);
    EXPECT_EQ(p.lineMode, c.lineMode);
    EXPECT_EQ(p.lineWidth, c.lineWidth);
    EXPECT_EQ(p.lineOpacity, c.lineOpacity);
    EXPECT_EQ(p.fillOpacity, c.fillOpacity);
}

TEST_P(GXLPresetLooks, SharedToolValues)
{
    MarkerParameters p = GXLPreset::parameters(GetParam().tool);
    EXPECT_EQ(p.size, 75);
    EXPECT_EQ(p.perspective, 15);
    EXPECT_EQ(p.segments, 14);
    EXPECT_EQ(p.gap, 36);
    EXPECT_EQ(p.speed, 0.35f);
    EXPECT_EQ(p.opacity, 100);
    EXPECT_EQ(p.tacticalColor, GXLPreset::toolOrange);
    EXPECT_EQ(p.arrowMode, 0);
    EXPECT_EQ(p.arcHeight, 260);
    EXPECT_EQ(p.spaceWidth, 700);
    EXPECT_EQ(p.groundTolerance, 18);
    // Untouched by every preset.
    const MarkerParameters d;
    EXPECT_EQ(p.points, d.points);
    EXPECT_EQ(p.color2, d.color2);
    EXPECT_EQ(p.groundOnly, d.groundOnly);
    EXPECT_EQ(p.arrowColor, d.arrowColor);
    EXPECT_EQ(p.visionAngle, d.visionAngle);
    EXPECT_EQ(p.trailState, d.trailState);
}

INSTANTIATE_TEST_SUITE_P(Tools, GXLPresetLooks, testing::ValuesIn(presetCases), test::ToolName());

TEST(GXLPreset, ToolOrangeWidensToItsSinglePrecisionValue)
{
    EXPECT_EQ(static_cast<double>(GXLPreset::toolOrange.y), 0.5781049728393555);
}

TEST(GXLPreset, LoftedArc)
{
    MarkerParameters p = GXLPreset::parameters("Lofted Arc");
    const MarkerParameters d;
    EXPECT_EQ(p.arcHeight, 260);
    EXPECT_EQ(p.arrowMode, 4);
    EXPECT_EQ(p.opacity, 0);
    EXPECT_EQ(p.ringStyle, d.ringStyle);
    EXPECT_EQ(p.color1, d.color1);
    EXPECT_EQ(p.tacticalColor, d.tacticalColor);
    EXPECT_EQ(p.multipleRings, d.multipleRings);
    EXPECT_EQ(p.size, 35);
    EXPECT_EQ(p.arrowWidth, 100);
    EXPECT_EQ(p.arrowSpacing, 180);
    EXPECT_EQ(p.arrowColor, (Float4{0, 0, 0, 1}));
    EXPECT_EQ(p.groundShadow, 55);
    EXPECT_EQ(p.arcMotionMode, 1);
}

class GXLPresetUnknown : public testing::TestWithParam<const char*> { };

TEST_P(GXLPresetUnknown, GivesPlainDefaults)
{
    EXPECT_EQ(GXLPreset::parameters(GetParam()), MarkerParameters());
}

INSTANTIATE_TEST_SUITE_P(Names, GXLPresetUnknown,
                         testing::Values("player ring", "", "Player Ring ", "Ground", "Lofted arc"));

TEST(GXLPreset, RelatedToolsShareOrNearlyShareTheirPresets)
{
    EXPECT_EQ(GXLPreset::parameters("Team Rings"), GXLPreset::parameters("Player Ring"));
    MarkerParameters polygon = GXLPreset::parameters("Space Polygon");
    MarkerParameters circle = GXLPreset::parameters("Space Circle");
    EXPECT_NE(polygon, circle);
    polygon.multipleRings = circle.multipleRings;
    EXPECT_EQ(polygon, circle);
}

// New-mark settings, tool by tool.
struct MaterialCase {
    const char* tool;
    std::size_t pointCount;
    Float4 color;
    double size;
    double perspective;
    float speed;
};

class GXLMaterial : public testing::TestWithParam<MaterialCase> { };

TEST_P(GXLMaterial, NewMarkSettings)
{
    const MaterialCase& c = GetParam();
    GXLSettings s = GXLSettings::material(c.tool);
    EXPECT_EQ(s.tool, c.tool);
    EXPECT_EQ(s.points.size(), c.pointCount);
    EXPECT_EQ(s.color, (std::vector<double>{c.color.x, c.color.y, c.color.z, c.color.w}));
    EXPECT_EQ(s.size, c.size);
    EXPECT_EQ(s.perspective, c.perspective);
    EXPECT_EQ(s.opacity, 100);
    EXPECT_EQ(s.speed, static_cast<double>(c.speed));
    EXPECT_TRUE(s.validate());
}

constexpr Float4 black = {0, 0, 0, 1};

INSTANTIATE_TEST_SUITE_P(
    Tools, GXLMaterial,
    testing::Values(
        MaterialCase{"Player Ring", 1, orange, 75, 15, 0.35f}, MaterialCase{"Ground Ring", 1, orange, 75, 15, 0.35f},
        MaterialCase{"Team Rings", 4, orange, 75, 15, 0.35f}, MaterialCase{"Team Fill", 4, orange, 75, 15, 0.35f},
        MaterialCase{"Ground Team", 4, orange, 75, 15, 0.35f}, MaterialCase{"Space Polygon", 4, orange, 75, 15, 0.35f},
        MaterialCase{"Ring Trail", 2, orange, 75, 15, 0.35f}, MaterialCase{"Lofted Arc", 2, black, 35, 30, 1},
        MaterialCase{"Spotlight", 1, gold, 75, 15, 0.35f}, MaterialCase{"Passing Lane", 2, orange, 75, 15, 0.35f},
        MaterialCase{"Vision Cone", 2, orange, 75, 15, 0.35f},
        MaterialCase{"Ground Passing Lane", 2, orange, 75, 15, 0.35f},
        MaterialCase{"Ground Vision", 2, orange, 75, 15, 0.35f}, MaterialCase{"Space Circle", 1, orange, 75, 15, 0.35f},
        MaterialCase{"Space Rectangle", 1, orange, 75, 15, 0.35f}));

TEST(GXLMaterial, PointsByKindOfGeometry)
{
    EXPECT_EQ(GXLSettings::material("Ring Trail").points, (std::vector<GXLPoint>{{0.35, 0.4}, {0.65, 0.55}}));
    EXPECT_EQ(GXLSettings::material("Spotlight").points, (std::vector<GXLPoint>{{0.5, 0.45}}));
    EXPECT_EQ(GXLSettings::material("Team Fill").points,
              (std::vector<GXLPoint>{{0.35, 0.35}, {0.65, 0.35}, {0.6, 0.6}, {0.4, 0.6}}));
    // A name outside the table gets two points and the default blue.
    GXLSettings odd = GXLSettings::material("Chalk");
    EXPECT_EQ(odd.points.size(), 2u);
    EXPECT_EQ(odd.color[1], static_cast<double>(0.36f));
    EXPECT_FALSE(odd.validate());
}

TEST(GXLMaterial, SavedJsonKeepsTheWidenedSinglePrecisionValues)
{
    JsonWriter writer;
    GXLSettings::material("Player Ring").encode(writer);
    const std::string& json = writer.result();
    EXPECT_NE(json.find("\"speed\":0.3499999940395355"), std::string::npos) << json;
    EXPECT_NE(json.find("0.5781049728393555"), std::string::npos) << json;
    EXPECT_NE(json.find("\"size\":75"), std::string::npos) << json;
}

// The presets written out from the tool tables: every field a preset does not
// name keeps the plain default, so whole values are compared. First what
// every preset names alike.
MarkerParameters everyToolPreset()
{
    MarkerParameters p;
    p.thickness = 18;
    p.arrowHead = 30;
    p.arrowSpeed = 1;
    p.arrowDepth = 18;
    p.arrowPerspective = 45;
    p.arrowOpacity = 100;
    p.arrowAnimated = true;
    p.arcHeight = 260;
    p.drawProgress = 100;
    p.trailLength = 100;
    p.spaceMode = 0;
    p.spaceWidth = 700;
    p.spaceHeight = 280;
    p.spaceFeather = 3;
    p.groundTolerance = 18;
    p.groundSoftness = 8;
    return p;
}

MarkerParameters ringToolPreset(const PresetCase& c)
{
    MarkerParameters p = everyToolPreset();
    p.size = 75;
    p.perspective = 15;
    p.segments = 14;
    p.gap = 36;
    p.speed = 0.35f;
    p.opacity = 100;
    p.tacticalColor = orange;
    p.arrowMode = 0;
    p.arrowWidth = 70;
    p.arrowSpacing = 150;
    p.multipleRings = c.multipleRings;
    p.ringStyle = c.ringStyle;
    p.color1 = c.color1;
    p.glow = c.glow;
    p.lineMode = c.lineMode;
    p.lineWidth = c.lineWidth;
    p.lineOpacity = c.lineOpacity;
    p.fillOpacity = c.fillOpacity;
    return p;
}

MarkerParameters loftedArcPreset()
{
    MarkerParameters p = everyToolPreset();
    p.size = 35;
    p.perspective = 30;
    p.segments = 10;
    p.gap = 20;
    p.speed = 1;
    p.glow = 25;
    p.opacity = 0;
    p.lineMode = 0;
    p.lineWidth = 4;
    p.lineOpacity = 100;
    p.fillOpacity = 0;
    p.groundShadow = 55;
    p.arrowMode = 4;
    p.arrowWidth = 100;
    p.arrowSpacing = 180;
    p.arrowColor = {0, 0, 0, 1};
    p.arcLinePattern = 0;
    p.dashLength = 36;
    p.dashGap = 24;
    p.arcMotionMode = 1;
    p.arcAnimationDuration = 1.2f;
    return p;
}

struct WholePresetCase {
    const char* tool;
    MarkerParameters expected;
};

class GXLPresetWhole : public testing::TestWithParam<WholePresetCase> { };

TEST_P(GXLPresetWhole, EqualsTheToolTable)
{
    EXPECT_EQ(GXLPreset::parameters(GetParam().tool), GetParam().expected);
}

std::vector<WholePresetCase> wholePresetCases()
{
    std::vector<WholePresetCase> cases;
    for (const PresetCase& c : presetCases) cases.push_back({c.tool, ringToolPreset(c)});
    cases.push_back({"Lofted Arc", loftedArcPreset()});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Tools, GXLPresetWhole, testing::ValuesIn(wholePresetCases()), test::ToolName());

TEST(GXLPresetWhole, EveryToolHasOneOfTheTabledPresets)
{
    test::expectEveryToolListed(wholePresetCases());
}

} // namespace
