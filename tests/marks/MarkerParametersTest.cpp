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

} // namespace
