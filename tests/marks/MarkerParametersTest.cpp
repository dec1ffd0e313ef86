#include "marks/MarkerParameters.h"

#include <gtest/gtest.h>

using namespace zanto;

namespace {

TEST(MarkerParameters, DefaultValueEqualsEmptyDesignatedInitialiser) {
    MarkerParameters byDefault;
    MarkerParameters designated{};
    EXPECT_EQ(byDefault, designated);
    EXPECT_EQ(byDefault.points.size(), 4u);
    EXPECT_EQ(byDefault.pointCount, 4);
    ASSERT_EQ(byDefault.ringSizes.size(), 12u);
    for (float r : byDefault.ringSizes) EXPECT_EQ(r, 100.0f);
    EXPECT_EQ(MarkerParameters::maxPlayers, 12);
}

TEST(MarkerParameters, DefaultFlags) {
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

// The decimal defaults are the nearest floats of the decimals, not doubles.
struct DecimalDefault {
    const char* name;
    float value;
    double decimal;
};

class MarkerParametersDecimals : public testing::TestWithParam<DecimalDefault> {};

TEST_P(MarkerParametersDecimals, AreNearestFloats) {
    EXPECT_EQ(GetParam().value, static_cast<float>(GetParam().decimal)) << GetParam().name;
}

const MarkerParameters defaults;

INSTANTIATE_TEST_SUITE_P(Defaults, MarkerParametersDecimals,
                         testing::Values(DecimalDefault{"color1.x", defaults.color1.x, 0.02},
                                         DecimalDefault{"color1.y", defaults.color1.y, 0.36},
                                         DecimalDefault{"tacticalColor.y", defaults.tacticalColor.y, 0.6},
                                         DecimalDefault{"position.y", defaults.position.y, 0.65},
                                         DecimalDefault{"entranceDuration", defaults.entranceDuration, 0.7},
                                         DecimalDefault{"groundColor.x", defaults.groundColor.x, 0.3},
                                         DecimalDefault{"groundColor.y", defaults.groundColor.y, 0.38},
                                         DecimalDefault{"groundColor.z", defaults.groundColor.z, 0.12},
                                         DecimalDefault{"points[0].y", defaults.points[0].y, 0.4},
                                         DecimalDefault{"labelBackgroundOpacity", defaults.labelBackgroundOpacity, 0.78},
                                         DecimalDefault{"arcAnimationDuration", defaults.arcAnimationDuration, 1.2},
                                         DecimalDefault{"waveSpeed", defaults.waveSpeed, 0.65}));

TEST(MarkerParameters, CopiesOwnTheirLists) {
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

TEST(MarkerParameters, DesignatedInitialiserChangesOnlyWhatItNames) {
    MarkerParameters p{.ringStyle = 6, .size = 75, .groundOnly = false};
    MarkerParameters expected;
    expected.ringStyle = 6;
    expected.size = 75;
    expected.groundOnly = false;
    EXPECT_EQ(p, expected);
}

} // namespace
