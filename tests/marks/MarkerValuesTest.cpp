// Reading a whole marker from the renderer value array.

#include "marks/MarkerRendererError.h"
#include "marks/MarkerValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

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


// The index map entry by entry: an array of zeros with one entry set reads
// that entry into its field once the array reaches the entry's group, and
// leaves the field at its default when the array stops just short of it.
struct IndexCase {
    std::size_t index;
    std::size_t group;        // shortest accepted length that holds the entry
    const char* field;
    double entry;             // value put at `index`
    double expected;          // what the field reads back
    double (*read)(const MarkerParameters&);
};

void PrintTo(const IndexCase& c, std::ostream* out) { *out << "entry " << c.index << " -> " << c.field; }

Float2 point(const MarkerParameters& p, std::size_t i) { return i < p.points.size() ? p.points[i] : Float2{-1, -1}; }
double entry(const std::vector<float>& list, std::size_t i) { return i < list.size() ? list[i] : -1; }

constexpr std::size_t acceptedLengths[] = {20, 23, 40, 56, 73, 76, 77, 78, 79, 84, 96, 108, 628, 631, 641, 656};

const IndexCase indexCases[] = {
    {0, 20, "color1.x", 0.25, 0.25f, [](const MarkerParameters& p) -> double { return p.color1.x; }},
    {1, 20, "color1.y", 1.25, 1.25f, [](const MarkerParameters& p) -> double { return p.color1.y; }},
    {2, 20, "color1.z", 2.25, 2.25f, [](const MarkerParameters& p) -> double { return p.color1.z; }},
    {3, 20, "color1.w", 3.25, 3.25f, [](const MarkerParameters& p) -> double { return p.color1.w; }},
    {4, 20, "color2.x", 4.25, 4.25f, [](const MarkerParameters& p) -> double { return p.color2.x; }},
    {5, 20, "color2.y", 5.25, 5.25f, [](const MarkerParameters& p) -> double { return p.color2.y; }},
    {6, 20, "color2.z", 6.25, 6.25f, [](const MarkerParameters& p) -> double { return p.color2.z; }},
    {7, 20, "color2.w", 7.25, 7.25f, [](const MarkerParameters& p) -> double { return p.color2.w; }},
    {8, 20, "size", 8.25, 8.25f, [](const MarkerParameters& p) -> double { return p.size; }},
    {9, 20, "perspective", 9.25, 9.25f, [](const MarkerParameters& p) -> double { return p.perspective; }},
    {10, 20, "thickness", 10.25, 10.25f, [](const MarkerParameters& p) -> double { return p.thickness; }},
    {11, 20, "segments", 11.25, 11.25f, [](const MarkerParameters& p) -> double { return p.segments; }},
    {12, 20, "gap", 12.25, 12.25f, [](const MarkerParameters& p) -> double { return p.gap; }},
    {13, 20, "speed", 13.25, 13.25f, [](const MarkerParameters& p) -> double { return p.speed; }},
    {14, 20, "direction", 14.25, 14.25f, [](const MarkerParameters& p) -> double { return p.direction; }},
    {15, 20, "glow", 15.25, 15.25f, [](const MarkerParameters& p) -> double { return p.glow; }},
    {16, 20, "opacity", 16.25, 16.25f, [](const MarkerParameters& p) -> double { return p.opacity; }},
    {17, 20, "position.x", 17.25, 17.25f, [](const MarkerParameters& p) -> double { return p.position.x; }},
    {18, 20, "position.y", 18.25, 18.25f, [](const MarkerParameters& p) -> double { return p.position.y; }},
    {20, 23, "entranceEnabled", 0.5, 1, [](const MarkerParameters& p) -> double { return p.entranceEnabled; }},
    {21, 23, "entranceDuration", 21.25, 21.25f, [](const MarkerParameters& p) -> double { return p.entranceDuration; }},
    {22, 23, "entranceElapsed", 22.25, 22.25, [](const MarkerParameters& p) -> double { return p.entranceElapsed.value_or(-1); }},
    {23, 40, "points[0].x", 23.25, 23.25f, [](const MarkerParameters& p) -> double { return point(p, 0).x; }},
    {24, 40, "points[0].y", 24.25, 24.25f, [](const MarkerParameters& p) -> double { return point(p, 0).y; }},
    {25, 40, "points[1].x", 25.25, 25.25f, [](const MarkerParameters& p) -> double { return point(p, 1).x; }},
    {26, 40, "points[1].y", 26.25, 26.25f, [](const MarkerParameters& p) -> double { return point(p, 1).y; }},
    {27, 40, "points[2].x", 27.25, 27.25f, [](const MarkerParameters& p) -> double { return point(p, 2).x; }},
    {28, 40, "points[2].y", 28.25, 28.25f, [](const MarkerParameters& p) -> double { return point(p, 2).y; }},
    {29, 40, "points[3].x", 29.25, 29.25f, [](const MarkerParameters& p) -> double { return point(p, 3).x; }},
    {30, 40, "points[3].y", 30.25, 30.25f, [](const MarkerParameters& p) -> double { return point(p, 3).y; }},
    {31, 40, "lineMode", 31.75, 31, [](const MarkerParameters& p) -> double { return p.lineMode; }},
    {32, 40, "pointCount", 32.75, 32, [](const MarkerParameters& p) -> double { return p.pointCount; }},
    {33, 40, "lineWidth", 33.25, 33.25f, [](const MarkerParameters& p) -> double { return p.lineWidth; }},
    {34, 40, "lineOpacity", 34.25, 34.25f, [](const MarkerParameters& p) -> double { return p.lineOpacity; }},
    {35, 40, "fillOpacity", 35.25, 35.25f, [](const MarkerParameters& p) -> double { return p.fillOpacity; }},
    {36, 40, "tacticalColor.x", 36.25, 36.25f, [](const MarkerParameters& p) -> double { return p.tacticalColor.x; }},
    {37, 40, "tacticalColor.y", 37.25, 37.25f, [](const MarkerParameters& p) -> double { return p.tacticalColor.y; }},
    {38, 40, "tacticalColor.z", 38.25, 38.25f, [](const MarkerParameters& p) -> double { return p.tacticalColor.z; }},
    {39, 40, "tacticalColor.w", 39.25, 39.25f, [](const MarkerParameters& p) -> double { return p.tacticalColor.w; }},
    {40, 56, "points[4].x", 40.25, 40.25f, [](const MarkerParameters& p) -> double { return point(p, 4).x; }},
    {41, 56, "points[4].y", 41.25, 41.25f, [](const MarkerParameters& p) -> double { return point(p, 4).y; }},
    {42, 56, "points[5].x", 42.25, 42.25f, [](const MarkerParameters& p) -> double { return point(p, 5).x; }},
    {43, 56, "points[5].y", 43.25, 43.25f, [](const MarkerParameters& p) -> double { return point(p, 5).y; }},
    {44, 56, "points[6].x", 44.25, 44.25f, [](const MarkerParameters& p) -> double { return point(p, 6).x; }},
    {45, 56, "points[6].y", 45.25, 45.25f, [](const MarkerParameters& p) -> double { return point(p, 6).y; }},
    {46, 56, "points[7].x", 46.25, 46.25f, [](const MarkerParameters& p) -> double { return point(p, 7).x; }},
    {47, 56, "points[7].y", 47.25, 47.25f, [](const MarkerParameters& p) -> double { return point(p, 7).y; }},
    {48, 56, "points[8].x", 48.25, 48.25f, [](const MarkerParameters& p) -> double { return point(p, 8).x; }},
    {49, 56, "points[8].y", 49.25, 49.25f, [](const MarkerParameters& p) -> double { return point(p, 8).y; }},
    {50, 56, "points[9].x", 50.25, 50.25f, [](const MarkerParameters& p) -> double { return point(p, 9).x; }},
    {51, 56, "points[9].y", 51.25, 51.25f, [](const MarkerParameters& p) -> double { return point(p, 9).y; }},
    {52, 56, "points[10].x", 52.25, 52.25f, [](const MarkerParameters& p) -> double { return point(p, 10).x; }},
    {53, 56, "points[10].y", 53.25, 53.25f, [](const MarkerParameters& p) -> double { return point(p, 10).y; }},
    {54, 56, "points[11].x", 54.25, 54.25f, [](const MarkerParameters& p) -> double { return point(p, 11).x; }},
    {55, 56, "points[11].y", 55.25, 55.25f, [](const MarkerParameters& p) -> double { return point(p, 11).y; }},
    {56, 73, "arrowMode", 56.75, 56, [](const MarkerParameters& p) -> double { return p.arrowMode; }},
    {57, 73, "arrowStart.x", 57.25, 57.25f, [](const MarkerParameters& p) -> double { return p.arrowStart.x; }},
    {58, 73, "arrowStart.y", 58.25, 58.25f, [](const MarkerParameters& p) -> double { return p.arrowStart.y; }},
    {59, 73, "arrowEnd.x", 59.25, 59.25f, [](const MarkerParameters& p) -> double { return p.arrowEnd.x; }},
    {60, 73, "arrowEnd.y", 60.25, 60.25f, [](const MarkerParameters& p) -> double { return p.arrowEnd.y; }},
    {61, 73, "arrowWidth", 61.25, 61.25f, [](const MarkerParameters& p) -> double { return p.arrowWidth; }},
    {62, 73, "arrowHead", 62.25, 62.25f, [](const MarkerParameters& p) -> double { return p.arrowHead; }},
    {63, 73, "arrowSpeed", 63.25, 63.25f, [](const MarkerParameters& p) -> double { return p.arrowSpeed; }},
    {64, 73, "arrowSpacing", 64.25, 64.25f, [](const MarkerParameters& p) -> double { return p.arrowSpacing; }},
    {65, 73, "arrowDepth", 65.25, 65.25f, [](const MarkerParameters& p) -> double { return p.arrowDepth; }},
    {66, 73, "arrowPerspective", 66.25, 66.25f, [](const MarkerParameters& p) -> double { return p.arrowPerspective; }},
    {67, 73, "arrowOpacity", 67.25, 67.25f, [](const MarkerParameters& p) -> double { return p.arrowOpacity; }},
    {68, 73, "arrowColor.x", 68.25, 68.25f, [](const MarkerParameters& p) -> double { return p.arrowColor.x; }},
    {69, 73, "arrowColor.y", 69.25, 69.25f, [](const MarkerParameters& p) -> double { return p.arrowColor.y; }},
    {70, 73, "arrowColor.z", 70.25, 70.25f, [](const MarkerParameters& p) -> double { return p.arrowColor.z; }},
    {71, 73, "arrowColor.w", 71.25, 71.25f, [](const MarkerParameters& p) -> double { return p.arrowColor.w; }},
    {72, 73, "arrowAnimated", 0, 0, [](const MarkerParameters& p) -> double { return p.arrowAnimated; }},
    {73, 76, "arcHeight", 73.25, 73.25f, [](const MarkerParameters& p) -> double { return p.arcHeight; }},
    {74, 76, "drawProgress", 74.25, 74.25f, [](const MarkerParameters& p) -> double { return p.drawProgress; }},
    {75, 76, "trailLength", 75.25, 75.25f, [](const MarkerParameters& p) -> double { return p.trailLength; }},
    {76, 77, "ringStyle", 76.75, 76, [](const MarkerParameters& p) -> double { return p.ringStyle; }},
    {77, 78, "multipleRings", 0.5, 1, [](const MarkerParameters& p) -> double { return p.multipleRings; }},
    {78, 79, "groundShadow", 78.25, 78.25f, [](const MarkerParameters& p) -> double { return p.groundShadow; }},
    {79, 84, "arcLinePattern", 79.75, 79, [](const MarkerParameters& p) -> double { return p.arcLinePattern; }},
    {80, 84, "dashLength", 80.25, 80.25f, [](const MarkerParameters& p) -> double { return p.dashLength; }},
    {81, 84, "dashGap", 81.25, 81.25f, [](const MarkerParameters& p) -> double { return p.dashGap; }},
    {82, 84, "arcMotionMode", 82.75, 82, [](const MarkerParameters& p) -> double { return p.arcMotionMode; }},
    {83, 84, "arcAnimationDuration", 83.25, 83.25f, [](const MarkerParameters& p) -> double { return p.arcAnimationDuration; }},
    {84, 96, "spaceMode", 84.75, 5, [](const MarkerParameters& p) -> double { return p.spaceMode; }},
    {85, 96, "spaceWidth", 85.25, 85.25f, [](const MarkerParameters& p) -> double { return p.spaceWidth; }},
    {86, 96, "spaceHeight", 86.25, 86.25f, [](const MarkerParameters& p) -> double { return p.spaceHeight; }},
    {87, 96, "spaceFeather", 87.25, 87.25f, [](const MarkerParameters& p) -> double { return p.spaceFeather; }},
    {89, 96, "groundOnly", 0, 0, [](const MarkerParameters& p) -> double { return p.groundOnly; }},
    {90, 96, "groundColor.x", 90.25, 90.25f, [](const MarkerParameters& p) -> double { return p.groundColor.x; }},
    {91, 96, "groundColor.y", 91.25, 91.25f, [](const MarkerParameters& p) -> double { return p.groundColor.y; }},
    {92, 96, "groundColor.z", 92.25, 92.25f, [](const MarkerParameters& p) -> double { return p.groundColor.z; }},
    {93, 96, "groundTolerance", 93.25, 93.25f, [](const MarkerParameters& p) -> double { return p.groundTolerance; }},
    {94, 96, "groundSoftness", 94.25, 94.25f, [](const MarkerParameters& p) -> double { return p.groundSoftness; }},
    {95, 96, "groundPreview", 0.5, 1, [](const MarkerParameters& p) -> double { return p.groundPreview; }},
    {96, 108, "ringSizes[0]", 96.25, 96.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(0); }},
    {97, 108, "ringSizes[1]", 97.25, 97.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(1); }},
    {98, 108, "ringSizes[2]", 98.25, 98.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(2); }},
    {99, 108, "ringSizes[3]", 99.25, 99.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(3); }},
    {100, 108, "ringSizes[4]", 100.25, 100.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(4); }},
    {101, 108, "ringSizes[5]", 101.25, 101.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(5); }},
    {102, 108, "ringSizes[6]", 102.25, 102.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(6); }},
    {103, 108, "ringSizes[7]", 103.25, 103.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(7); }},
    {104, 108, "ringSizes[8]", 104.25, 104.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(8); }},
    {105, 108, "ringSizes[9]", 105.25, 105.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(9); }},
    {106, 108, "ringSizes[10]", 106.25, 106.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(10); }},
    {107, 108, "ringSizes[11]", 107.25, 107.25f, [](const MarkerParameters& p) -> double { return p.ringSizes.at(11); }},
    {631, 641, "visionAngle", 631.25, 631.25f, [](const MarkerParameters& p) -> double { return p.visionAngle; }},
    {632, 641, "corridorWidth", 632.25, 632.25f, [](const MarkerParameters& p) -> double { return p.corridorWidth; }},
    {633, 641, "visionPerspective", 633.25, 633.25f, [](const MarkerParameters& p) -> double { return p.visionPerspective; }},
    {634, 641, "waveEnabled", 0.5, 1, [](const MarkerParameters& p) -> double { return p.waveEnabled; }},
    {635, 641, "waveSpeed", 635.25, 635.25f, [](const MarkerParameters& p) -> double { return p.waveSpeed; }},
    {636, 641, "waveSpacing", 636.25, 636.25f, [](const MarkerParameters& p) -> double { return p.waveSpacing; }},
    {637, 641, "waveStrength", 637.25, 637.25f, [](const MarkerParameters& p) -> double { return p.waveStrength; }},
    {638, 641, "waveWidth", 638.25, 638.25f, [](const MarkerParameters& p) -> double { return p.waveWidth; }},
    {639, 641, "laneStartStyle", 639.75, 639, [](const MarkerParameters& p) -> double { return p.laneStartStyle; }},
    {640, 641, "laneEndStyle", 640.75, 640, [](const MarkerParameters& p) -> double { return p.laneEndStyle; }},
    {641, 656, "labelEnabled", 0.5, 1, [](const MarkerParameters& p) -> double { return p.labelEnabled; }},
    {642, 656, "labelSize", 642.25, 642.25f, [](const MarkerParameters& p) -> double { return p.labelSize; }},
    {643, 656, "labelOffset.x", 643.25, 643.25f, [](const MarkerParameters& p) -> double { return p.labelOffset.x; }},
    {644, 656, "labelOffset.y", 644.25, 644.25f, [](const MarkerParameters& p) -> double { return p.labelOffset.y; }},
    {645, 656, "labelBackgroundOpacity", 645.25, 1, [](const MarkerParameters& p) -> double { return p.labelBackgroundOpacity; }},
    {646, 656, "labelOpacity", 646.25, 1, [](const MarkerParameters& p) -> double { return p.labelOpacity; }},
    {647, 656, "labelPadding", 647.25, 647.25f, [](const MarkerParameters& p) -> double { return p.labelPadding; }},
    {648, 656, "labelTextColor.x", 648.25, 648.25f, [](const MarkerParameters& p) -> double { return p.labelTextColor.x; }},
    {649, 656, "labelTextColor.y", 649.25, 649.25f, [](const MarkerParameters& p) -> double { return p.labelTextColor.y; }},
    {650, 656, "labelTextColor.z", 650.25, 650.25f, [](const MarkerParameters& p) -> double { return p.labelTextColor.z; }},
    {651, 656, "labelTextColor.w", 651.25, 651.25f, [](const MarkerParameters& p) -> double { return p.labelTextColor.w; }},
    {652, 656, "labelBoxColor.x", 652.25, 652.25f, [](const MarkerParameters& p) -> double { return p.labelBoxColor.x; }},
    {653, 656, "labelBoxColor.y", 653.25, 653.25f, [](const MarkerParameters& p) -> double { return p.labelBoxColor.y; }},
    {654, 656, "labelBoxColor.z", 654.25, 654.25f, [](const MarkerParameters& p) -> double { return p.labelBoxColor.z; }},
    {655, 656, "labelBoxColor.w", 655.25, 655.25f, [](const MarkerParameters& p) -> double { return p.labelBoxColor.w; }},
    {108, 628, "trailState[0]", 108.25, 108.25f, [](const MarkerParameters& p) -> double { return entry(p.trailState, 0); }},
    {627, 628, "trailState[519]", 627.25, 627.25f, [](const MarkerParameters& p) -> double { return entry(p.trailState, 519); }},
    {628, 631, "trailState[520]", 628.25, 628.25f, [](const MarkerParameters& p) -> double { return entry(p.trailState, 520); }},
    {630, 631, "trailState[522]", 630.25, 630.25f, [](const MarkerParameters& p) -> double { return entry(p.trailState, 522); }},
};

class MarkerValuesIndexMap : public testing::TestWithParam<IndexCase> {};

TEST_P(MarkerValuesIndexMap, EntryReachesItsFieldOnlyWithItsGroup) {
    const IndexCase& c = GetParam();
    std::vector<double> v(c.group, 0.0);
    v[c.index] = c.entry;
    EXPECT_EQ(c.read(MarkerValues::parameters(v)), c.expected);

    // The ring group is the shortest array there is; every later group has a
    // shorter accepted length that stops before it.
    const auto shorter = std::find_if(std::rbegin(acceptedLengths), std::rend(acceptedLengths),
                                      [&](std::size_t length) { return length < c.group; });
    if (shorter == std::rend(acceptedLengths)) return;
    const std::vector<double> zeros(*shorter, 0.0);
    EXPECT_EQ(c.read(MarkerValues::parameters(zeros)), c.read(MarkerParameters())) << zeros.size();
}

INSTANTIATE_TEST_SUITE_P(Entries, MarkerValuesIndexMap, testing::ValuesIn(indexCases),
                         [](const testing::TestParamInfo<IndexCase>& info) {
                             std::string name = std::to_string(info.param.index) + "_" + info.param.field;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

} // namespace
