// Reading a whole marker from the renderer value array.

#include "marks/MarkerRendererError.h"
#include "marks/MarkerValues.h"
#include "support/MarkerTestTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

using namespace zanto;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

constexpr std::size_t acceptedLengths[] = {20, 23, 40, 56, 73, 76, 77, 78, 79, 84, 96, 108, 628, 631, 641, 656};

// An array of `length` zeros with the ring group filled in recognisably.
std::vector<double> array(std::size_t length)
{
    std::vector<double> v(length, 0.0);
    for (std::size_t i = 0; i < 17; ++i) v[i] = 0.01 * static_cast<double>(i + 1);
    v[17] = 0.25;
    v[18] = 0.2;
    return v;
}

void expectRefused(std::span<const double> values, double seconds = 0)
{
    test::expectRendererError([&] { MarkerValues::check(values, seconds); }, "Invalid parameter state");
}

class MarkerValuesLength : public testing::TestWithParam<std::size_t> { };

TEST_P(MarkerValuesLength, AcceptedLengthsReadWithoutError)
{
    std::vector<double> v = array(GetParam());
    EXPECT_NO_THROW(MarkerValues::check(v, 1.5));
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.size, 0.09f);
    EXPECT_TRUE(MarkerValues::acceptedLength(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Accepted, MarkerValuesLength, testing::ValuesIn(acceptedLengths));

class MarkerValuesRefusedLength : public testing::TestWithParam<std::size_t> { };

TEST_P(MarkerValuesRefusedLength, InvalidParameterState)
{
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

class MarkerValuesEntry : public testing::TestWithParam<EntryCase> { };

TEST_P(MarkerValuesEntry, MagnitudeAndFiniteness)
{
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

TEST(MarkerValues, NonFiniteTimeIsRefused)
{
    std::vector<double> v = array(20);
    expectRefused(v, nan);
    expectRefused(v, inf);
    EXPECT_NO_THROW(MarkerValues::check(v, -3));
}

TEST(MarkerValues, ShortestArraySetsOnlyTheRing)
{
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

class MarkerValuesFlip : public testing::TestWithParam<FlipCase> { };

TEST_P(MarkerValuesFlip, OnlyPresentGroupsTurn)
{
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

TEST(MarkerValues, PointListsAreReplacedNeverMerged)
{
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

TEST(MarkerValues, UnreadEntryChangesNothing)
{
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

class MarkerValuesIntegers : public testing::TestWithParam<IntegerCase> { };

TEST_P(MarkerValuesIntegers, Truncation)
{
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

class MarkerValuesFlags : public testing::TestWithParam<std::pair<double, bool>> { };

TEST_P(MarkerValuesFlags, TrueUnlessZero)
{
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

class MarkerValuesLabelOpacity : public testing::TestWithParam<std::pair<double, float>> { };

TEST_P(MarkerValuesLabelOpacity, PercentClampedToOne)
{
    std::vector<double> v = array(656);
    v[645] = v[646] = GetParam().first;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.labelBackgroundOpacity, GetParam().second);
    EXPECT_EQ(p.labelOpacity, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Entries, MarkerValuesLabelOpacity,
                         testing::Values(std::pair{150.0, 1.0f}, std::pair{78.0, 0.78f}, std::pair{-20.0, 0.0f}));

TEST(MarkerValues, RingStyleSevenTurnsTheLabelOn)
{
    std::vector<double> v = array(77);
    v[76] = 7.6;
    MarkerParameters p = MarkerValues::parameters(v);
    EXPECT_EQ(p.ringStyle, 7);
    EXPECT_TRUE(p.labelEnabled);
}

TEST(MarkerValues, SpotlightStyleMovesTheMarkerToTheFirstPoint)
{
    std::vector<double> v = array(77);
    v[23] = 0.4;
    v[24] = 0.1;
    v[76] = 6;
    EXPECT_EQ(MarkerValues::parameters(v).position, (Float2{0.4f, 0.1f}));
    v[19] = 1;
    EXPECT_EQ(MarkerValues::parameters(v).position, (Float2{0.4f, 0.9f}));
}

TEST(MarkerValues, ElapsedEntranceTimeKeepsDoublePrecision)
{
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

TEST(MarkerValues, TrailStateByLength)
{
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

TEST(MarkerValues, FullArrayReachesTheLastGroups)
{
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
// that entry into its field once the array reaches the entry's group (the
// shortest accepted length that holds it), and leaves the field at its
// default when the array stops just short of it.
struct IndexCase {
    std::size_t index;
    std::string field;
    double entry;    // value put at `index`
    double expected; // what the field reads back
    std::function<double(const MarkerParameters&)> read;
};

void PrintTo(const IndexCase& c, std::ostream* out)
{
    *out << "entry " << c.index << " -> " << c.field;
}

std::size_t groupOf(std::size_t index)
{
    return *std::upper_bound(std::begin(acceptedLengths), std::end(acceptedLengths), index);
}

float lane(Float2 v, std::size_t k)
{
    return k == 0 ? v.x : v.y;
}
float lane(Float3 v, std::size_t k)
{
    return k == 0 ? v.x : k == 1 ? v.y : v.z;
}
float lane(Float4 v, std::size_t k)
{
    return k == 3 ? v.w : lane(Float3{v.x, v.y, v.z}, k);
}

// Most entries read back as themselves, narrowed: entry i holds i + 0.25.
#define READ(expr) [](const MarkerParameters& p) -> double { return expr; }
#define PLAIN(i, name)                                                                                                 \
    IndexCase                                                                                                          \
    {                                                                                                                  \
        i, #name, i + 0.25, static_cast<float>(i + 0.25), READ(p.name)                                                 \
    }
#define SET(i, name, entry, expected)                                                                                  \
    IndexCase                                                                                                          \
    {                                                                                                                  \
        i, #name, entry, expected, READ(p.name)                                                                        \
    }

// The lanes of a vector field at `first`, `first + 1`...
template <typename Vector>
void addLanes(std::vector<IndexCase>& cases, const char* name, Vector MarkerParameters::*field, std::size_t first)
{
    const std::size_t count = sizeof(Vector) / sizeof(float);
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = first + k;
        cases.push_back({i, std::string(name) + "." + "xyzw"[k], i + 0.25, static_cast<float>(i + 0.25),
                         [field, k](const MarkerParameters& p) -> double { return lane(p.*field, k); }});
    }
}

// Listed elements from `first` on: points as x, y pairs, the others one entry
// each; an element the list does not have reads as -1.
void addPoints(std::vector<IndexCase>& cases, std::size_t from, std::size_t to, std::size_t first)
{
    for (std::size_t n = from; n < to; ++n)
        for (std::size_t k = 0; k < 2; ++k) {
            const std::size_t i = first + 2 * (n - from) + k;
            cases.push_back({i, "points[" + std::to_string(n) + "]." + "xy"[k], i + 0.25, static_cast<float>(i + 0.25),
                             [n, k](const MarkerParameters& p) -> double {
                                 return n < p.points.size() ? lane(p.points[n], k) : -1;
                             }});
        }
}

void addElement(std::vector<IndexCase>& cases, const char* name, std::vector<float> MarkerParameters::*list,
                std::size_t n, std::size_t i)
{
    cases.push_back(
        {i, std::string(name) + "[" + std::to_string(n) + "]", i + 0.25, static_cast<float>(i + 0.25),
         [list, n](const MarkerParameters& p) -> double { return n < (p.*list).size() ? (p.*list)[n] : -1; }});
}

std::vector<IndexCase> indexCases()
{
    std::vector<IndexCase> c;
    addLanes(c, "color1", &MarkerParameters::color1, 0);
    addLanes(c, "color2", &MarkerParameters::color2, 4);
    c.insert(c.end(), {PLAIN(8, size), PLAIN(9, perspective), PLAIN(10, thickness), PLAIN(11, segments), PLAIN(12, gap),
                       PLAIN(13, speed), PLAIN(14, direction), PLAIN(15, glow), PLAIN(16, opacity)});
    addLanes(c, "position", &MarkerParameters::position, 17);
    c.insert(c.end(), {SET(20, entranceEnabled, 0.5, 1), PLAIN(21, entranceDuration),
                       IndexCase{22, "entranceElapsed", 22.25, 22.25, READ(p.entranceElapsed.value_or(-1))}});
    addPoints(c, 0, 4, 23);
    c.insert(c.end(), {SET(31, lineMode, 31.75, 31), SET(32, pointCount, 32.75, 32), PLAIN(33, lineWidth),
                       PLAIN(34, lineOpacity), PLAIN(35, fillOpacity)});
    addLanes(c, "tacticalColor", &MarkerParameters::tacticalColor, 36);
    addPoints(c, 4, 12, 40);
    c.push_back(SET(56, arrowMode, 56.75, 56));
    addLanes(c, "arrowStart", &MarkerParameters::arrowStart, 57);
    addLanes(c, "arrowEnd", &MarkerParameters::arrowEnd, 59);
    c.insert(c.end(), {PLAIN(61, arrowWidth), PLAIN(62, arrowHead), PLAIN(63, arrowSpeed), PLAIN(64, arrowSpacing),
                       PLAIN(65, arrowDepth), PLAIN(66, arrowPerspective), PLAIN(67, arrowOpacity)});
    addLanes(c, "arrowColor", &MarkerParameters::arrowColor, 68);
    c.insert(c.end(),
             {SET(72, arrowAnimated, 0, 0), PLAIN(73, arcHeight), PLAIN(74, drawProgress), PLAIN(75, trailLength),
              SET(76, ringStyle, 76.75, 76), SET(77, multipleRings, 0.5, 1), PLAIN(78, groundShadow),
              SET(79, arcLinePattern, 79.75, 79), PLAIN(80, dashLength), PLAIN(81, dashGap),
              SET(82, arcMotionMode, 82.75, 82), PLAIN(83, arcAnimationDuration), SET(84, spaceMode, 84.75, 5),
              PLAIN(85, spaceWidth), PLAIN(86, spaceHeight), PLAIN(87, spaceFeather), SET(89, groundOnly, 0, 0)});
    addLanes(c, "groundColor", &MarkerParameters::groundColor, 90);
    c.insert(c.end(), {PLAIN(93, groundTolerance), PLAIN(94, groundSoftness), SET(95, groundPreview, 0.5, 1)});
    for (std::size_t n = 0; n < 12; ++n) addElement(c, "ringSizes", &MarkerParameters::ringSizes, n, 96 + n);
    c.insert(c.end(), {PLAIN(631, visionAngle), PLAIN(632, corridorWidth), PLAIN(633, visionPerspective),
                       SET(634, waveEnabled, 0.5, 1), PLAIN(635, waveSpeed), PLAIN(636, waveSpacing),
                       PLAIN(637, waveStrength), PLAIN(638, waveWidth), SET(639, laneStartStyle, 639.75, 639),
                       SET(640, laneEndStyle, 640.75, 640), SET(641, labelEnabled, 0.5, 1), PLAIN(642, labelSize)});
    addLanes(c, "labelOffset", &MarkerParameters::labelOffset, 643);
    c.insert(c.end(), {SET(645, labelBackgroundOpacity, 645.25, 1), SET(646, labelOpacity, 646.25, 1),
                       PLAIN(647, labelPadding)});
    addLanes(c, "labelTextColor", &MarkerParameters::labelTextColor, 648);
    addLanes(c, "labelBoxColor", &MarkerParameters::labelBoxColor, 652);
    for (auto [n, i] : {std::pair{0, 108}, {519, 627}, {520, 628}, {522, 630}})
        addElement(c, "trailState", &MarkerParameters::trailState, n, i);
    return c;
}

#undef SET
#undef PLAIN
#undef READ

class MarkerValuesIndexMap : public testing::TestWithParam<IndexCase> { };

TEST_P(MarkerValuesIndexMap, EntryReachesItsFieldOnlyWithItsGroup)
{
    const IndexCase& c = GetParam();
    const std::size_t group = groupOf(c.index);
    std::vector<double> v(group, 0.0);
    v[c.index] = c.entry;
    EXPECT_EQ(c.read(MarkerValues::parameters(v)), c.expected);

    // The ring group is the shortest array there is; every later group has a
    // shorter accepted length that stops before it.
    if (group == acceptedLengths[0]) return;
    const std::vector<double> zeros(
        *(std::lower_bound(std::begin(acceptedLengths), std::end(acceptedLengths), group) - 1), 0.0);
    EXPECT_EQ(c.read(MarkerValues::parameters(zeros)), c.read(MarkerParameters())) << zeros.size();
}

INSTANTIATE_TEST_SUITE_P(Entries, MarkerValuesIndexMap, testing::ValuesIn(indexCases()),
                         [](const testing::TestParamInfo<IndexCase>& info) {
                             return test::caseName(std::to_string(info.param.index) + "_" + info.param.field);
                         });

} // namespace
