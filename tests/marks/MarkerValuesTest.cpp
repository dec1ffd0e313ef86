// Reading a whole marker from the renderer value array.

#include "marks/MarkerRendererError.h"
#include "marks/MarkerValues.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zanto;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// An array of `length` zeros with the ring group filled in recognisably.
std::vector<double> array(std::size_t length) {
    std::vector<double> v(length, 0.0);
    for (std::size_t i = 0; i < 17; ++i) v[i] = 0.01 * static_cast<double>(i + 1);
    v[17] = 0.25;
    v[18] = 0.2;
    return v;
}

void expectRefused(std::span<const double> values, double seconds = 0) {
    try {
        MarkerValues::check(values, seconds);
        FAIL() << "accepted";
    } catch (const MarkerRendererError& error) {
        EXPECT_STREQ(error.what(), "Invalid parameter state");
        EXPECT_EQ(error.domain(), "FC.GXL.PlayerMarker");
        EXPECT_EQ(error.code(), 1);
    }
}

class MarkerValuesLength : public testing::TestWithParam<std::size_t> {};

TEST_P(MarkerValuesLength, AcceptedLengthsReadWithoutError) {
    std::vector<double> v = array(GetParam());
    EXPECT_NO_THROW(MarkerValues::check(v, 1.5));
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.size, 0.09f);
    EXPECT_TRUE(MarkerValues::acceptedLength(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Accepted, MarkerValuesLength,
                         testing::Values(20, 23, 40, 56, 73, 76, 77, 78, 79, 84, 96, 108, 628, 631, 641, 656));

class MarkerValuesRefusedLength : public testing::TestWithParam<std::size_t> {};

TEST_P(MarkerValuesRefusedLength, InvalidParameterState) {
    std::vector<double> v = array(std::max<std::size_t>(GetParam(), 20));
    v.resize(GetParam());
    expectRefused(v);
    EXPECT_THROW(MarkerValues::parameters(v), MarkerRendererError);
}

INSTANTIATE_TEST_SUITE_P(Refused, MarkerValuesRefusedLength, testing::Values(0, 19, 21, 100, 629, 657, 1000));

struct EntryCase {
    double value;
    bool accepted;
};

class MarkerValuesEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(MarkerValuesEntry, MagnitudeAndFiniteness) {
    std::vector<double> v = array(40);
    v[33] = GetParam().value;
    if (GetParam().accepted) {
        EXPECT_NO_THROW(MarkerValues::check(v, 0));
    } else {
        expectRefused(v);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, MarkerValuesEntry,
                         testing::Values(EntryCase{nan, false}, EntryCase{inf, false}, EntryCase{-inf, false},
                                         EntryCase{100'000'000, false}, EntryCase{-100'000'000, false},
                                         EntryCase{99'999'999, true}, EntryCase{-99'999'999, true},
                                         EntryCase{1e-300, true}));

TEST(MarkerValues, NonFiniteTimeIsRefused) {
    std::vector<double> v = array(20);
    expectRefused(v, nan);
    expectRefused(v, inf);
    EXPECT_NO_THROW(MarkerValues::check(v, -3));
}

TEST(MarkerValues, ShortestArraySetsOnlyTheRing) {
    MarkerParameters p = MarkerValues::parameters(array(20));
    MarkerParameters expected;
    expected.color1 = {0.01f, 0.02f, 0.03f, 0.04f};
    expected.color2 = {0.05f, 0.06f, 0.07f, 0.08f};
    expected.size = 0.09f;
    expected.perspective = 0.1f;
    expected.thickness = 0.11f;
    expected.segments = 0.12f;
    expected.gap = 0.13f;
    expected.speed = 0.14f;
    expected.direction = 0.15f;
    expected.glow = 0.16f;
    expected.opacity = 0.17f;
    expected.position = {0.25f, 0.2f};
    EXPECT_EQ(p, expected);
}

struct FlipCase {
    std::size_t length;
    double flip;
    bool positionFlipped;
    bool pointsFlipped;
    bool arrowFlipped;
};

class MarkerValuesFlip : public testing::TestWithParam<FlipCase> {};

TEST_P(MarkerValuesFlip, OnlyPresentGroupsTurn) {
    const FlipCase& c = GetParam();
    std::vector<double> v = array(c.length);
    v[19] = c.flip;
    for (std::size_t i = 23; i < 31 && i < c.length; ++i) v[i] = 0.1;
    if (c.length >= 73) {
        v[57] = 0.3;
        v[58] = 0.3;
    }
    if (c.length >= 76) v[73] = 200;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.position.y, c.positionFlipped ? 0.8f : 0.2f);
    if (c.length >= 40) {
        EXPECT_EQ(p.points[0].y, c.pointsFlipped ? 0.9f : 0.1f);
    } else {
        EXPECT_EQ(p.points, MarkerParameters().points);
    }
    if (c.length >= 73) {
        EXPECT_EQ(p.arrowStart.y, c.arrowFlipped ? 0.7f : 0.3f);
    }
    if (c.length >= 76) {
        EXPECT_EQ(p.arcHeight, c.arrowFlipped ? -200 : 200);
    }
}

INSTANTIATE_TEST_SUITE_P(Switch, MarkerValuesFlip,
                         testing::Values(FlipCase{20, 1, true, false, false}, FlipCase{40, 1, true, true, false},
                                         FlipCase{76, 1, true, true, true}, FlipCase{40, 0.5, false, false, false},
                                         FlipCase{76, 2, false, false, false}, FlipCase{76, 0, false, false, false}));

TEST(MarkerValues, PointListsAreReplacedNeverMerged) {
    std::vector<double> v = array(40);
    for (std::size_t i = 23; i < 31; ++i) v[i] = 0.5;
    v[32] = 4;
    EXPECT_EQ(MarkerValues::parameters(v).points, std::vector<Float2>(4, Float2{0.5f, 0.5f}));
    v = array(56);
    for (std::size_t i = 23; i < 56; ++i) v[i] = 0.5;
    for (std::size_t i = 40; i < 56; i += 2) v[i] = 0.9;
    MarkerParameters p = MarkerValues::parameters(v);
    ASSERT_EQ(p.points.size(), 12u);
    EXPECT_EQ(p.points[3], (Float2{0.5f, 0.5f}));
    EXPECT_EQ(p.points[4], (Float2{0.9f, 0.5f}));
}

TEST(MarkerValues, UnreadEntryChangesNothing) {
    std::vector<double> v = array(96);
    MarkerParameters before = MarkerValues::parameters(v);
    v[88] = 12345;
    EXPECT_EQ(MarkerValues::parameters(v), before);
}

// Integers truncate toward zero; the space mode is clamped besides.
struct IntegerCase {
    double entry;
    std::int64_t spaceMode;
    std::int64_t lineMode;
};

class MarkerValuesIntegers : public testing::TestWithParam<IntegerCase> {};

TEST_P(MarkerValuesIntegers, Truncation) {
    std::vector<double> v = array(96);
    v[84] = GetParam().entry;
    v[31] = GetParam().entry;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.spaceMode, GetParam().spaceMode);
    EXPECT_EQ(p.lineMode, GetParam().lineMode);
}

INSTANTIATE_TEST_SUITE_P(Entries, MarkerValuesIntegers,
                         testing::Values(IntegerCase{9.7, 5, 9}, IntegerCase{-3, 0, -3}, IntegerCase{2.9, 2, 2},
                                         IntegerCase{-2.9, 0, -2}, IntegerCase{4.999, 4, 4}));

class MarkerValuesFlags : public testing::TestWithParam<std::pair<double, bool>> {};

TEST_P(MarkerValuesFlags, TrueUnlessZero) {
    std::vector<double> v = array(96);
    v[72] = v[77] = v[89] = v[95] = GetParam().first;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.arrowAnimated, GetParam().second);
    EXPECT_EQ(p.multipleRings, GetParam().second);
    EXPECT_EQ(p.groundOnly, GetParam().second);
    EXPECT_EQ(p.groundPreview, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Entries, MarkerValuesFlags,
                         testing::Values(std::pair{-1.0, true}, std::pair{0.25, true}, std::pair{0.0, false},
                                         std::pair{-0.0, false}, std::pair{1.0, true}));

class MarkerValuesLabelOpacity : public testing::TestWithParam<std::pair<double, float>> {};

TEST_P(MarkerValuesLabelOpacity, PercentClampedToOne) {
    std::vector<double> v = array(656);
    v[645] = v[646] = GetParam().first;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.labelBackgroundOpacity, GetParam().second);
    EXPECT_EQ(p.labelOpacity, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Entries, MarkerValuesLabelOpacity,
                         testing::Values(std::pair{150.0, 1.0f}, std::pair{78.0, 0.78f}, std::pair{-20.0, 0.0f}));

TEST(MarkerValues, RingStyleSevenTurnsTheLabelOn) {
    std::vector<double> v = array(77);
    v[76] = 7.6;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.ringStyle, 7);
    EXPECT_TRUE(p.labelEnabled);
}

TEST(MarkerValues, SpotlightStyleMovesTheMarkerToTheFirstPoint) {
    std::vector<double> v = array(77);
    v[23] = 0.4;
    v[24] = 0.1;
    v[76] = 6;
    EXPECT_EQ(MarkerValues::parameters(v).position, (Float2{0.4f, 0.1f}));
    v[19] = 1;
    EXPECT_EQ(MarkerValues::parameters(v).position, (Float2{0.4f, 0.9f}));
}

TEST(MarkerValues, ElapsedEntranceTimeKeepsDoublePrecision) {
    std::vector<double> v = array(23);
    v[20] = 1;
    v[21] = 0.5;
    v[22] = 0.1;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_TRUE(p.entranceEnabled);
    EXPECT_EQ(p.entranceDuration, 0.5f);
    ASSERT_TRUE(p.entranceElapsed.has_value());
    EXPECT_EQ(*p.entranceElapsed, 0.1);
}

TEST(MarkerValues, TrailStateByLength) {
    std::vector<double> v = array(628);
    v[108] = 16;
    v[627] = 3;
    MarkerParameters p = MarkerValues::parameters(v);
    ASSERT_EQ(p.trailState.size(), 520u);
    EXPECT_EQ(p.trailState.front(), 16);
    EXPECT_EQ(p.trailState.back(), 3);
    EXPECT_EQ(MarkerValues::parameters(array(631)).trailState.size(), 523u);
    EXPECT_EQ(MarkerValues::parameters(array(656)).trailState.size(), 523u);
    EXPECT_TRUE(MarkerValues::parameters(array(108)).trailState.empty());
}

TEST(MarkerValues, FullArrayReachesTheLastGroups) {
    std::vector<double> v = array(656);
    v[96] = 150;
    v[107] = 40;
    v[631] = 90;
    v[634] = 1;
    v[639] = 2.5;
    v[640] = 1;
    v[641] = 1;
    v[642] = 40;
    v[643] = -5;
    v[644] = 12;
    v[655] = 0.5;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.ringSizes.size(), 12u);
    EXPECT_EQ(p.ringSizes.front(), 150);
    EXPECT_EQ(p.ringSizes.back(), 40);
    EXPECT_EQ(p.visionAngle, 90);
    EXPECT_TRUE(p.waveEnabled);
    EXPECT_EQ(p.laneStartStyle, 2);
    EXPECT_EQ(p.laneEndStyle, 1);
    EXPECT_TRUE(p.labelEnabled);
    EXPECT_EQ(p.labelSize, 40);
    EXPECT_EQ(p.labelOffset, (Float2{-5, 12}));
    EXPECT_EQ(p.labelBoxColor.w, 0.5f);
    // The packed blocks of any accepted array are plain numbers.
    GroundUniforms g = p.groundUniforms(1280, 720, 2);
    EXPECT_EQ(g.ringSizes03.x, 1.5f);
    EXPECT_EQ(g.vision.w, 6);
}

} // namespace
