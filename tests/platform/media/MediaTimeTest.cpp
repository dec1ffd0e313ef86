#include "platform/media/MediaTime.h"

#include <gtest/gtest.h>

using zanto::MediaTime;
using zanto::MediaTimeRange;

namespace {

struct SecondsCase {
    double seconds;
    int32_t timeScale;
    int64_t value;
};

class MediaTimeFromSeconds : public testing::TestWithParam<SecondsCase> { };

TEST_P(MediaTimeFromSeconds, RoundsHalfAwayFromZero)
{
    const SecondsCase& c = GetParam();
    MediaTime t = MediaTime::fromSeconds(c.seconds, c.timeScale);
    EXPECT_EQ(t.value, c.value);
    EXPECT_EQ(t.timeScale, c.timeScale);
}

INSTANTIATE_TEST_SUITE_P(Table, MediaTimeFromSeconds,
                         testing::Values(SecondsCase{0.1, 60000, 6000}, SecondsCase{1.5, 1, 2},
                                         SecondsCase{-1.5, 1, -2}, SecondsCase{2.5, 1, 3},
                                         SecondsCase{1.0 / 3.0, 30, 10}, SecondsCase{12.34567, 60000, 740740},
                                         SecondsCase{0.0, 30, 0}, SecondsCase{1e300, 60000, 9200000000000000000},
                                         SecondsCase{-1e300, 60000, -9200000000000000000}));

struct SumCase {
    MediaTime a;
    MediaTime b;
    MediaTime sum;
};

class MediaTimeSum : public testing::TestWithParam<SumCase> { };

TEST_P(MediaTimeSum, KeepsOrWidensTimeScaleWithoutReducing)
{
    const SumCase& c = GetParam();
    MediaTime sum = c.a + c.b;
    EXPECT_EQ(sum, c.sum) << sum.toString();
    // The difference undoes the sum, as an instant.
    EXPECT_TRUE((sum - c.b) == c.a || ((sum - c.b) <=> c.a) == 0);
}

INSTANTIATE_TEST_SUITE_P(Table, MediaTimeSum,
                         testing::Values(SumCase{MediaTime{0, 1}, MediaTime{75, 25}, MediaTime{75, 25}},
                                         SumCase{MediaTime{75, 25}, MediaTime{60, 30}, MediaTime{750, 150}},
                                         SumCase{MediaTime{4, 8}, MediaTime{2, 8}, MediaTime{6, 8}},
                                         SumCase{MediaTime{1001, 30000}, MediaTime{1, 60000}, MediaTime{2003, 60000}}));

TEST(MediaTime, SumBeyondMaxTimeScaleRoundsIntoIt)
{
    MediaTime a{1, 2147483629}; // a large prime time scale
    MediaTime b{1, 3};
    MediaTime sum = a + b;
    EXPECT_EQ(sum.timeScale, MediaTime::maxTimeScale);
    EXPECT_NEAR(sum.seconds(), 1.0 / 3.0, 1e-9);
}

TEST(MediaTime, OrderingComparesInstantsEqualityComparesFields)
{
    MediaTime a{75, 25};
    MediaTime b{3, 1};
    EXPECT_FALSE(a == b);
    EXPECT_TRUE((a <=> b) == 0);
    EXPECT_LT(MediaTime(1, 30), MediaTime(1001, 30000));
    EXPECT_EQ(MediaTime(1001, 30000).convertScale(30), MediaTime(1, 30));
    EXPECT_EQ(MediaTime(5, 2).convertScale(1), MediaTime(3, 1));
    EXPECT_DOUBLE_EQ(MediaTime(1, 0).seconds(), 0.0);
    // An invalid time reads as zero in sums instead of dividing by zero.
    EXPECT_EQ(MediaTime(5, 0) + MediaTime(3, 30), MediaTime(3, 30));
    EXPECT_EQ(MediaTime(3, 30) - MediaTime(5, -1), MediaTime(3, 30));
}

struct RangeCase {
    MediaTimeRange a;
    MediaTimeRange b;
    double startSeconds;
    double durationSeconds;
};

class MediaTimeRangeIntersection : public testing::TestWithParam<RangeCase> { };

TEST_P(MediaTimeRangeIntersection, IsSymmetricAndInsideBoth)
{
    const RangeCase& c = GetParam();
    for (auto r : {c.a.intersection(c.b), c.b.intersection(c.a)}) {
        EXPECT_DOUBLE_EQ(r.start.seconds(), c.startSeconds);
        EXPECT_DOUBLE_EQ(r.duration.seconds(), c.durationSeconds);
        EXPECT_GE(r.duration.value, 0);
        if (!r.isEmpty()) {
            EXPECT_TRUE(c.a.containsTime(r.start) && c.b.containsTime(r.start));
        }
    }
}

MediaTimeRange range(double start, double duration)
{
    return {MediaTime::fromSeconds(start, 600), MediaTime::fromSeconds(duration, 600)};
}

INSTANTIATE_TEST_SUITE_P(
    Table, MediaTimeRangeIntersection,
    testing::Values(
        RangeCase{range(0, 10), range(5, 10), 5, 5}, RangeCase{range(0, 10), range(2, 3), 2, 3},
        RangeCase{range(0, 1), range(2, 3), 2, 0}, RangeCase{range(0, 2), range(2, 3), 2, 0},
        RangeCase{{MediaTime{1, 30}, MediaTime{60, 30}}, {MediaTime{0, 25}, MediaTime{25, 25}}, 1.0 / 30, 29.0 / 30}));

TEST(MediaTimeRange, ContainsIsHalfOpen)
{
    MediaTimeRange r = range(1, 2);
    EXPECT_TRUE(r.containsTime(MediaTime{1, 1}));
    EXPECT_TRUE(r.containsTime(MediaTime{2999, 1000}));
    EXPECT_FALSE(r.containsTime(MediaTime{3, 1}));
    EXPECT_FALSE(r.containsTime(MediaTime{999, 1000}));
    EXPECT_EQ(MediaTimeRange::fromStartEnd(MediaTime{1, 30}, MediaTime{3, 30}).duration, (MediaTime{2, 30}));
}

} // namespace
