#include "marks/MarkerParameters.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace zanto;

namespace {

TEST(MarkerParameters, DefaultValueEqualsEmptyDesignatedInitialiser)
{
    MarkerParameters byDefault;
    MarkerParameters designated{};
    EXPECT_EQ(byDefault, designated);
    EXPECT_EQ(byDefault.points.size(), 4u);
    EXPECT_EQ(byDefault.pointCount, 4);
    ASSERT_EQ(byDefault.ringSizes.size(), 12u);
    for (float r : byDefault.ringSizes) EXPECT_EQ(r, 100.0f);
    EXPECT_EQ(MarkerParameters::maxPlayers, 12);
}

TEST(MarkerParameters, DefaultFlags)
{
    MarkerParameters p;
    EXPECT_TRUE(p.groundOnly);
    EXPECT_TRUE(p.arrowAnimated);
    EXPECT_FALSE(p.entranceEnabled);
    EXPECT_FALSE(p.labelEnabled);
    EXPECT_FALSE(p.waveEnabled);
    EXPECT_FALSE(p.groundPreview);
    EXPECT_FALSE(p.multipleRings);
    EXPECT_FALSE(p.entranceElapsed.has_value());
    EXPECT_TRUE(p.trailState.empty());
}

TEST(MarkerParameters, CopiesOwnTheirLists)
{
    MarkerParameters original;
    MarkerParameters copy = original;
    copy.points.push_back({0.9f, 0.9f});
    copy.ringSizes[0] = 5;
    copy.trailState.assign(523, 1.0f);
    EXPECT_EQ(original.points.size(), 4u);
    EXPECT_EQ(original.ringSizes[0], 100.0f);
    EXPECT_TRUE(original.trailState.empty());
    EXPECT_NE(original, copy);
}

// Every field's default as its lanes: flags as 1 or 0, integers and floats as
// they are, vectors and lists lane by lane, an absent optional as no lane.
// Decimal defaults are the nearest single-precision values of the decimals.
std::vector<double> lanes(bool v)
{
    return {v ? 1.0 : 0.0};
}
std::vector<double> lanes(std::int64_t v)
{
    return {static_cast<double>(v)};
}
std::vector<double> lanes(float v)
{
    return {v};
}
std::vector<double> lanes(Float2 v)
{
    return {v.x, v.y};
}
std::vector<double> lanes(Float3 v)
{
    return {v.x, v.y, v.z};
}
std::vector<double> lanes(Float4 v)
{
    return {v.x, v.y, v.z, v.w};
}
std::vector<double> lanes(const std::optional<double>& v)
{
    return v ? std::vector<double>{*v} : std::vector<double>{};
}
std::vector<double> lanes(const std::vector<float>& v)
{
    return {v.begin(), v.end()};
}
std::vector<double> lanes(const std::vector<Float2>& v)
{
    std::vector<double> out;
    for (Float2 p : v) out.insert(out.end(), {p.x, p.y});
    return out;
}

struct DefaultCase {
    int number;
    const char* field;
    std::vector<double> actual;
    std::vector<double> expected; // single-precision literals widened
};

std::vector<DefaultCase> defaultCases()
{
    const MarkerParameters d;
    return {
        {1, "multipleRings", lanes(d.multipleRings), {0}},
        {2, "ringStyle", lanes(d.ringStyle), {0}},
        {3, "color1", lanes(d.color1), {0.02f, 0.36f, 1, 1}},
        {4, "color2", lanes(d.color2), {1, 1, 1, 1}},
        {5, "size", lanes(d.size), {100}},
        {6, "perspective", lanes(d.perspective), {30}},
        {7, "thickness", lanes(d.thickness), {18}},
        {8, "segments", lanes(d.segments), {10}},
        {9, "gap", lanes(d.gap), {20}},
        {10, "speed", lanes(d.speed), {1}},
        {11, "direction", lanes(d.direction), {1}},
        {12, "glow", lanes(d.glow), {25}},
        {13, "opacity", lanes(d.opacity), {100}},
        {14, "position", lanes(d.position), {0.5f, 0.65f}},
        {15, "entranceEnabled", lanes(d.entranceEnabled), {0}},
        {16, "entranceDuration", lanes(d.entranceDuration), {0.7f}},
        {17, "entranceElapsed", lanes(d.entranceElapsed), {}},
        {18, "points", lanes(d.points), {0.3f, 0.4f, 0.7f, 0.4f, 0.7f, 0.7f, 0.3f, 0.7f}},
        {19, "ringSizes", lanes(d.ringSizes), {100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100}},
        {20, "pointCount", lanes(d.pointCount), {4}},
        {21, "lineMode", lanes(d.lineMode), {0}},
        {22, "lineWidth", lanes(d.lineWidth), {4}},
        {23, "lineOpacity", lanes(d.lineOpacity), {100}},
        {24, "fillOpacity", lanes(d.fillOpacity), {0}},
        {25, "tacticalColor", lanes(d.tacticalColor), {0.02f, 0.6f, 1, 1}},
        {26, "groundShadow", lanes(d.groundShadow), {0}},
        {27, "arrowMode", lanes(d.arrowMode), {0}},
        {28, "arrowStart", lanes(d.arrowStart), {0.25f, 0.5f}},
        {29, "arrowEnd", lanes(d.arrowEnd), {0.75f, 0.5f}},
        {30, "arrowWidth", lanes(d.arrowWidth), {70}},
        {31, "arrowHead", lanes(d.arrowHead), {30}},
        {32, "arrowSpeed", lanes(d.arrowSpeed), {1}},
        {33, "arrowSpacing", lanes(d.arrowSpacing), {150}},
        {34, "arrowDepth", lanes(d.arrowDepth), {18}},
        {35, "arrowPerspective", lanes(d.arrowPerspective), {45}},
        {36, "arrowOpacity", lanes(d.arrowOpacity), {100}},
        {37, "arrowColor", lanes(d.arrowColor), {0.02f, 0.6f, 1, 1}},
        {38, "arrowAnimated", lanes(d.arrowAnimated), {1}},
        {39, "arcLinePattern", lanes(d.arcLinePattern), {0}},
        {40, "dashLength", lanes(d.dashLength), {36}},
        {41, "dashGap", lanes(d.dashGap), {24}},
        {42, "arcMotionMode", lanes(d.arcMotionMode), {0}},
        {43, "arcAnimationDuration", lanes(d.arcAnimationDuration), {1.2f}},
        {44, "arcHeight", lanes(d.arcHeight), {260}},
        {45, "drawProgress", lanes(d.drawProgress), {100}},
        {46, "trailLength", lanes(d.trailLength), {100}},
        {47, "spaceMode", lanes(d.spaceMode), {0}},
        {48, "spaceWidth", lanes(d.spaceWidth), {700}},
        {49, "spaceHeight", lanes(d.spaceHeight), {280}},
        {50, "spaceFeather", lanes(d.spaceFeather), {3}},
        {51, "groundOnly", lanes(d.groundOnly), {1}},
        {52, "groundColor", lanes(d.groundColor), {0.3f, 0.38f, 0.12f}},
        {53, "groundTolerance", lanes(d.groundTolerance), {18}},
        {54, "groundSoftness", lanes(d.groundSoftness), {8}},
        {55, "groundPreview", lanes(d.groundPreview), {0}},
        {56, "visionAngle", lanes(d.visionAngle), {65}},
        {57, "corridorWidth", lanes(d.corridorWidth), {180}},
        {58, "visionPerspective", lanes(d.visionPerspective), {50}},
        {59, "waveEnabled", lanes(d.waveEnabled), {0}},
        {60, "waveSpeed", lanes(d.waveSpeed), {0.65f}},
        {61, "waveSpacing", lanes(d.waveSpacing), {30}},
        {62, "waveStrength", lanes(d.waveStrength), {0}},
        {63, "waveWidth", lanes(d.waveWidth), {12}},
        {64, "laneStartStyle", lanes(d.laneStartStyle), {0}},
        {65, "laneEndStyle", lanes(d.laneEndStyle), {0}},
        {66, "labelEnabled", lanes(d.labelEnabled), {0}},
        {67, "labelSize", lanes(d.labelSize), {34}},
        {68, "labelOffset", lanes(d.labelOffset), {0, -95}},
        {69, "labelBackgroundOpacity", lanes(d.labelBackgroundOpacity), {0.78f}},
        {70, "labelOpacity", lanes(d.labelOpacity), {1}},
        {71, "labelPadding", lanes(d.labelPadding), {14}},
        {72, "labelTextColor", lanes(d.labelTextColor), {1, 1, 1, 1}},
        {73, "labelBoxColor", lanes(d.labelBoxColor), {0.02f, 0.02f, 0.02f, 1}},
        {74, "trailState", lanes(d.trailState), {}},
    };
}

class MarkerParametersDefault : public testing::TestWithParam<DefaultCase> { };

TEST_P(MarkerParametersDefault, FieldStartsAtItsDefault)
{
    EXPECT_EQ(GetParam().actual, GetParam().expected) << GetParam().number << " " << GetParam().field;
}

INSTANTIATE_TEST_SUITE_P(Fields, MarkerParametersDefault, testing::ValuesIn(defaultCases()),
                         [](const testing::TestParamInfo<DefaultCase>& info) { return info.param.field; });

} // namespace
