// Every good movie plays as it was recorded, whatever its container: opened
// paused, the frame covering the in point is on show; played, the item lasts
// its stretch and ends at its out point, never by a failure or an end that
// belongs to the item before.
#include "platform/media/FrameReader.h"
#include "platform/media/Player.h"
#include "support/EventLoopWait.h"
#include "support/GuiTestEnvironment.h"
#include "support/PictureFrameCode.h"
#include "support/RecordedMovies.h"
#include "support/TableNames.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

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

// An item's in point, and the frame that covers it as ffmpeg decodes the file.
struct Place {
    std::string name;
    double seconds;
    int frame;
};

// The in points a frame lookup can get wrong (the start, on a frame, between
// frames, just before a key frame, the last frame, before the pictures where
// the sound leads them, the sound alone where it outlasts them), the last
// second, and a stretch from the sound before the pictures into them. On
// the probe's clock, from the file's first presentation time.
std::vector<Place> placesIn(const RecordedMovie& movie, const MediaAsset& asset)
{
    const MovieFacts facts = inspectMovie(movie.path);
    std::vector<double> frames;
    for (double time : facts.frameTimes) frames.push_back(time - asset.firstPresentationTime.seconds());
    std::sort(frames.begin(), frames.end());
    auto place = [&](std::string name, double seconds) {
        const auto after = std::upper_bound(frames.begin(), frames.end(), seconds + 1e-6);
        return Place{std::move(name), seconds, std::max(0, int(after - frames.begin()) - 1)};
    };
    std::vector<Place> places;
    for (const RecordedInPoint& point : recordedInPoints(movie, facts.frameTimes))
        places.push_back(place(point.name, point.seconds));
    places.push_back(place("last second", asset.duration.seconds() - 1));
    if (const double pictures = asset.video->timeRange.start.seconds(); pictures > 0.5)
        places.push_back(place("into the pictures", pictures - 0.3));
    return places;
}

class PlayerContainers : public testing::TestWithParam<std::string> {
protected:
    TempDir folder{"zanto-containers-"};
    const RecordedMovie movie = makeRecordedMovie(folder.path(), GetParam());
};

TEST_P(PlayerContainers, ShowTheFrameCoveringTheInPointAndPlayTheWholeStretch)
{
    const PlayerItemRef probed = Player::open(movie.path);
    ASSERT_TRUE(probed);
    EXPECT_FALSE(probed->asset.dataEnd) << "an intact file";
    EXPECT_NEAR(probed->asset.video->timeRange.duration.seconds(), movie.pictureSeconds, 0.1);
    Player player({.audioOutput = "null", .hardwareDecoding = false});
    std::vector<uint64_t> ended, failed;
    player.setEndHandler([&](uint64_t id) { ended.push_back(id); });
    player.setFailureHandler([&](uint64_t id) { failed.push_back(id); });
    FrameReader reader(movie.path);
    for (const Place& place : placesIn(movie, probed->asset)) {
        SCOPED_TRACE(place.name);
        const double out = std::min(place.seconds + 0.5, probed->durationSeconds());
        // Paused: the picture the export writes for the in point.
        EXPECT_EQ(pictureFrameCode(reader.frameAt(at(place.seconds)).image), place.frame);
        PlayerItemRef item = Player::open(movie.path);
        player.setEndTimes(at(place.seconds), at(out));
        player.replaceCurrentItem(item, at(place.seconds));
        std::optional<bool> landed;
        player.seek(at(place.seconds), [&](bool done) { landed = done; });
        ASSERT_TRUE(waitFor([&] { return landed.has_value(); }, 20000));
        EXPECT_EQ(landed, true);
        EXPECT_TRUE(waitFor([&] { return pictureFrameCode(player.latestFrame()) == place.frame; }, 20000))
            << "shows " << pictureFrameCode(player.latestFrame()) << " for " << place.frame;
        // Played at once after loading again, as the next item of a row is.
        item = Player::open(movie.path);
        player.replaceCurrentItem(item, at(place.seconds));
        QElapsedTimer clock;
        clock.start();
        player.play();
        ASSERT_TRUE(waitFor([&] { return !ended.empty() || !failed.empty(); }, 20000 + int(out * 1000)));
        EXPECT_EQ(ended, std::vector<uint64_t>{item->id});
        EXPECT_TRUE(failed.empty());
        // The whole stretch was played, not only its end, and it ended at its
        // out point (a frame for the picture shown first; the pictures after
        // the sound before them take a moment to start).
        EXPECT_GE(clock.elapsed(), (out - place.seconds - 1.0 / 30) * 1000 - 60);
        EXPECT_LE(clock.elapsed(), (out - place.seconds) * 1000 + 1500);
        ended.clear();
        failed.clear();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PlayerContainers, testing::ValuesIn(recordedMovieKinds()),
                         [](const auto& info) { return caseName(info.param); });

} // namespace

// A transport stream's key frames come every half second at its start, then
// once in 5 s: a seek the start's interval does not reach aims further back
// until it lands on a key frame at or before its target, in the preview and
// in an export alike.
TEST(PlayerTransportStream, ASeekPastWhereKeyFramesSpreadLandsBeforeItsTarget)
{
    TempDir folder;
    const auto movie = makeTestMovie(folder / "source.mp4", {.durationSeconds = 6.0, .audio = false});
    const auto path = folder / "spread.ts";
    runTool("ffmpeg", {"-v", "error", "-i", movie.string(), "-c:v", "libx264", "-preset", "ultrafast", "-x264-params",
                       "keyint=150:min-keyint=150:scenecut=0", "-force_key_frames", "0,0.5,1,1.5", path.string()});
    Player player({.audioOutput = "null", .hardwareDecoding = false});
    FrameReader reader(path);
    for (const int frame : {140, 40, 170}) {
        const double seconds = reader.asset().video->timeRange.start.seconds() + (frame + 0.4) / 30;
        EXPECT_EQ(pictureFrameCode(reader.frameAt(at(seconds)).image), frame);
        player.replaceCurrentItem(Player::open(path), at(seconds));
        std::optional<bool> landed;
        player.seek(at(seconds), [&](bool done) { landed = done; });
        ASSERT_TRUE(waitFor([&] { return landed.has_value(); }, 20000));
        EXPECT_TRUE(waitFor([&] { return pictureFrameCode(player.latestFrame()) == frame; }, 20000))
            << "shows " << pictureFrameCode(player.latestFrame()) << " for " << frame;
    }
}

// As a row plays: the end handler makes the next item current and plays it
// at once. Each item plays its whole stretch; the end of the one before is
// never taken for the next one's.
TEST(PlayerRow, EachItemMadeCurrentByTheEndOfTheOneBeforePlaysWhole)
{
    TempDir folder;
    const RecordedMovie movie = makeRecordedMovie(folder.path(), "MP4");
    Player player({.audioOutput = "null", .hardwareDecoding = false});
    QElapsedTimer clock;
    std::vector<qint64> lasted;
    const auto playNext = [&] {
        const double start = 0.2 + 0.4 * double(lasted.size() % 5);
        player.setEndTimes(at(start), at(start + 0.3));
        player.replaceCurrentItem(Player::open(movie.path), at(start));
        clock.start();
        player.play();
    };
    player.setEndHandler([&](uint64_t) {
        lasted.push_back(clock.elapsed());
        if (lasted.size() < 12) playNext();
    });
    playNext();
    ASSERT_TRUE(waitFor([&] { return lasted.size() == 12; }, 60000)) << lasted.size();
    for (const qint64 milliseconds : lasted) EXPECT_GE(milliseconds, (0.3 - 1.0 / 30) * 1000 - 60);
}
