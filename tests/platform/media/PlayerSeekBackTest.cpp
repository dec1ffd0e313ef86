// A paused item over a whole movie, sought to its end (or past it), back
// inside it, then played: the item plays from where it was sought back to,
// to its end, told once as its end, never as a failure. What mpv tells of
// the seek to the end (its landing, its end of file, its own pause) must not
// be taken for the seek back's or for the end of the play that follows.
#include "platform/media/Player.h"
#include "support/EventLoopWait.h"
#include "support/GuiTestEnvironment.h"
#include "support/PictureFrameCode.h"
#include "support/RecordedMovies.h"
#include "support/TableNames.h"
#include "support/TempDir.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace zanto;
using namespace zanto::test;

namespace {

MediaTime at(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

// Where the seek towards the end goes, and whether the seek back waits for
// it to land (a slider let go at the end) or follows once mpv has taken it
// (a drag turning back at the end, a few milliseconds later).
struct SeekBackCase {
    std::string kind;
    double pastEndSeconds;
    bool landsAtTheEnd;
};

std::string caseTitle(const SeekBackCase& c)
{
    return caseName(c.kind + (c.pastEndSeconds > 0 ? " past" : " to") + " the end"
                    + (c.landsAtTheEnd ? " landed" : " dragged"));
}

void PrintTo(const SeekBackCase& c, std::ostream* out)
{
    *out << caseTitle(c);
}

class PlayerSeekBack : public testing::TestWithParam<SeekBackCase> {
protected:
    // The item made current paused at its start, over the whole movie.
    PlayerItemRef load()
    {
        const PlayerItemRef item = Player::open(movie.path);
        player.setEndTimes(at(0), at(item->durationSeconds()));
        player.replaceCurrentItem(item, at(0));
        std::optional<bool> landed;
        player.seek(at(0), [&](bool done) { landed = done; });
        EXPECT_TRUE(waitFor([&] { return landed == true; }, 20000));
        return item;
    }

    TempDir folder{"zanto-seek-back-"};
    const RecordedMovie movie = makeRecordedMovie(folder.path(), GetParam().kind);
    Player player{{.audioOutput = "null", .hardwareDecoding = false}};
};

// What one round saw from the seek back's completion on.
struct Round {
    std::optional<bool> sought;
    std::vector<uint64_t> ended, failed;
    std::vector<int> codes; // each picture drawn, once per change
    qint64 playedMs = 0;
};

TEST_P(PlayerSeekBack, PlaysFromWhereItWasSoughtBackToItsEnd)
{
    constexpr int back = 60, last = 89; // a second before the last frame
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const PlayerItemRef item = load();
        const double duration = item->durationSeconds();
        std::optional<bool> atTheEnd;
        player.seek(at(duration + GetParam().pastEndSeconds), [&](bool done) { atTheEnd = done; });
        if (GetParam().landsAtTheEnd) {
            ASSERT_TRUE(waitFor([&] { return atTheEnd.has_value(); }, 20000));
            waitFor([] { return false; }, 300);
        } else {
            waitFor([] { return false; }, 4);
        }
        Round seen;
        player.setEndHandler([&](uint64_t id) { seen.ended.push_back(id); });
        player.setFailureHandler([&](uint64_t id) { seen.failed.push_back(id); });
        player.setFrameHandler([&] {
            if (!seen.sought) return;
            const int code = pictureFrameCode(player.latestFrame());
            if (seen.codes.empty() || seen.codes.back() != code) seen.codes.push_back(code);
        });
        QElapsedTimer clock;
        // Played as soon as the seek completes, as a row plays its next item.
        const double first = item->asset.video->timeRange.start.seconds();
        player.seek(at(first + (back + 0.4) / 30), [&](bool done) {
            seen.sought = done;
            clock.start();
            if (done) player.play();
        });
        ASSERT_TRUE(waitFor([&] { return !seen.ended.empty() || !seen.failed.empty(); }, 20000));
        seen.playedMs = clock.elapsed();
        waitFor([] { return false; }, 100); // a second report would come meanwhile
        player.setFrameHandler({});
        EXPECT_EQ(seen.sought, true);
        EXPECT_TRUE(seen.failed.empty()) << "an intact movie was told as failed";
        EXPECT_EQ(seen.ended, std::vector<uint64_t>{item->id});
        // The stretch from the frame sought back to the last one was played
        // (a frame for the picture on show when play starts).
        EXPECT_GE(seen.playedMs, (duration - first - (back + 1.0) / 30) * 1000 - 60);
        ASSERT_FALSE(seen.codes.empty()) << "no picture drawn";
        EXPECT_TRUE(std::ranges::is_sorted(seen.codes) && seen.codes.front() >= back)
            << "pictures from elsewhere drawn after the seek back: " << testing::PrintToString(seen.codes);
        EXPECT_EQ(seen.codes.back(), last) << "play stopped short of the last frame";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PlayerSeekBack,
                         testing::Values(SeekBackCase{"MP4", 0, false}, SeekBackCase{"MP4", 0.5, false},
                                         SeekBackCase{"MP4", 0, true}, SeekBackCase{"MPEG-TS", 0, false},
                                         SeekBackCase{"MPEG-TS", 0.5, false}, SeekBackCase{"MPEG-TS", 0, true}),
                         [](const auto& info) { return caseTitle(info.param); });

} // namespace
