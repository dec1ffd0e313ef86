#include "platform/media/MediaError.h"
#include "platform/media/Player.h"
#include "support/GuiTestEnvironment.h"
#include "support/PictureFrameCode.h"
#include "support/TableNames.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"
#include "support/EventLoopWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

using namespace zanto;
using namespace zanto::test;

namespace {

int shownCode(const Player& player)
{
    const QImage frame = player.latestFrame();
    return frame.isNull() ? -2 : pictureFrameCode(frame);
}

MediaTime at(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

// A seek and what became of it.
std::optional<bool> seekAndWait(Player& player, double seconds)
{
    std::optional<bool> result;
    player.seek(at(seconds), [&](bool finished) { result = finished; });
    waitFor([&] { return result.has_value(); });
    return result;
}

// The picture on show (`code`) is the only one drawn until a later seek's
// picture replaces it. mpv carries out what it was told in turn, so a seek
// kept aside and sent before that one would have drawn its own in between.
void expectShownUntilTheNextSeek(Player& player, int code)
{
    constexpr int next = 10; // a frame no seek around a load lands on
    std::vector<int> drawn;
    player.setFrameHandler([&] { drawn.push_back(shownCode(player)); });
    std::optional<bool> landed;
    player.seek(at(next / 30.0), [&](bool finished) { landed = finished; });
    EXPECT_TRUE(waitFor([&] { return landed == true && shownCode(player) == next; })) << code;
    player.setFrameHandler({});
    std::erase(drawn, next);
    EXPECT_EQ(drawn, std::vector<int>(drawn.size(), code));
}

PlayerOptions quiet()
{
    return {.audioOutput = "null", .hardwareDecoding = false};
}

class PlayerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir("zanto-player-");
        makeTestMovie(*dir_ / "code.mp4", {.durationSeconds = 2.0});
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::filesystem::path clip() { return *dir_ / "code.mp4"; }

    // The clip made current, paused at `seconds`.
    PlayerItemRef load(double seconds = 0)
    {
        PlayerItemRef item = Player::open(clip());
        player.replaceCurrentItem(item);
        EXPECT_EQ(seekAndWait(player, seconds), true);
        return item;
    }

    static TempDir* dir_;
    Player player{quiet()};
};
TempDir* PlayerTest::dir_ = nullptr;

TEST_F(PlayerTest, ExactSeeksShowTheFrameCoveringTheTime)
{
    load();
    // First frame, mid-GOP (keyframes every 15 frames) inside a frame, the last frame.
    for (auto [seconds, code] : {std::pair{0.0, 0}, {22.5 / 30, 22}, {1.0 / 30, 1}, {59.0 / 30, 59}}) {
        ASSERT_EQ(seekAndWait(player, seconds), true) << seconds;
        EXPECT_TRUE(waitFor([&] { return shownCode(player) == code; })) << seconds << " shows " << shownCode(player);
        // mpv's clock agrees with the probed one (at the last frame it runs on to the end of the sound).
        if (code < 59) {
            EXPECT_NEAR(player.currentTime(), code / 30.0, 1.0 / 60);
        }
    }
}

TEST_F(PlayerTest, AnItemMadeCurrentRightAfterNoneLoads)
{
    // As the Organizer does when one item follows another: stop, then open.
    for (int round = 0; round < 8; ++round) {
        player.replaceCurrentItem(nullptr);
        player.replaceCurrentItem(Player::open(clip()));
        ASSERT_EQ(seekAndWait(player, 0.5), true) << "round " << round;
        EXPECT_TRUE(waitFor([&] { return shownCode(player) == 15; })) << "round " << round;
    }
}

// As after a change is applied: the item on show is opened again and made
// current where it was, its block pressed again; its picture comes back
// each time, never a blank.
TEST_F(PlayerTest, TheSameItemLoadedAgainWhereItStoodShowsItsPicture)
{
    load(0.5);
    for (int round = 0; round < 6; ++round) {
        player.replaceCurrentItem(Player::open(clip()), at(0.5));
        ASSERT_EQ(seekAndWait(player, 0.5), true) << "round " << round;
        EXPECT_TRUE(waitFor([&] { return shownCode(player) == 15; }))
            << "round " << round << " shows " << shownCode(player);
    }
}

// Emptied, the player shows no picture: mpv keeps the last one after its stop
// and draws it again once its output is reset, which must not bring the
// item back into latestFrame().
TEST_F(PlayerTest, AnEmptiedPlayerShowsNoPicture)
{
    player.setOutputSize(QSize(320, 180)); // as a view asks
    for (int round = 0; round < 5; ++round) {
        load(0.5);
        ASSERT_TRUE(waitFor([&] { return shownCode(player) == 15; }));
        player.replaceCurrentItem(nullptr);
        EXPECT_FALSE(waitFor([&] { return !player.latestFrame().isNull(); }, 300))
            << "round " << round << ": a " << player.latestFrame().width() << "x" << player.latestFrame().height()
            << " picture of frame " << shownCode(player);
    }
}

// As one item follows another in the preview: the next one's first picture
// is its own, never the one mpv kept of the item before.
TEST_F(PlayerTest, TheNextItemNeverShowsThePictureBeforeIt)
{
    player.setOutputSize(QSize(320, 180));
    for (int round = 0; round < 5; ++round) {
        load(0.5);
        ASSERT_TRUE(waitFor([&] { return shownCode(player) == 15; }));
        std::vector<int> drawn;
        player.setFrameHandler([&] { drawn.push_back(shownCode(player)); });
        player.replaceCurrentItem(nullptr);
        player.replaceCurrentItem(Player::open(clip()), at(1.0));
        EXPECT_EQ(seekAndWait(player, 1.0), true);
        EXPECT_TRUE(waitFor([&] { return shownCode(player) == 30; }));
        player.setFrameHandler({});
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 15), 0) << "round " << round;
    }
}

TEST_F(PlayerTest, AFileStartingLateKeepsTheProbedClock)
{
    // The movie's pictures start 10 s into its timeline; mpv and the probe
    // must agree on where frame 30 is.
    const auto late = clip().parent_path() / "late.mp4";
    runTool("ffmpeg",
            {"-v", "error", "-y", "-i", clip().string(), "-c", "copy", "-output_ts_offset", "10", late.string()});
    PlayerItemRef item = Player::open(late);
    const double frame30 = item->durationSeconds() - 1.0;
    player.replaceCurrentItem(item);
    ASSERT_EQ(seekAndWait(player, frame30), true);
    EXPECT_TRUE(waitFor([&] { return shownCode(player) == 30; })) << shownCode(player);
    EXPECT_NEAR(player.currentTime(), frame30, 1.0 / 60);
}

TEST_F(PlayerTest, SupersededSeeksCompleteFalseAndLeaveThePlayerPaused)
{
    load();
    std::vector<std::string> outcomes;
    auto note = [&](std::string name) {
        return [&, name](bool finished) { outcomes.push_back(name + (finished ? "+" : "-")); };
    };
    player.seek(at(0.5), note("by seek"));
    player.seek(at(1.0), note("by replace"));
    player.replaceCurrentItem(Player::open(clip()));
    player.seek(at(1.5), note("last"));
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 3; }));
    EXPECT_EQ(outcomes, (std::vector<std::string>{"by seek-", "by replace-", "last+"}));
    EXPECT_EQ(player.rate(), 0);
    {
        Player doomed(quiet());
        doomed.replaceCurrentItem(Player::open(clip()));
        doomed.seek(at(1.0), note("by destruction"));
    }
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 4; }));
    EXPECT_EQ(outcomes.back(), "by destruction-");
    EXPECT_TRUE(std::isnan(Player(quiet()).currentTime()));
}

// An item loads at 1 s (frame 30). Seeks asked before the load, during it
// (to where it loads, elsewhere, and back) and after it landed: the last one
// asked wins, and it alone completes with true, with its picture on show,
// which stays there: no seek kept aside moves it on.
TEST_F(PlayerTest, TheLastSeekAskedAroundALoadWins)
{
    struct Case {
        std::vector<double> during, after;
        int frame;
    };
    for (const auto& [during, after, frame] : std::vector<Case>{{{1.5, 1.0}, {}, 30},
                                                                {{1.0, 1.5}, {}, 45},
                                                                {{0.5, 1.5, 1.0}, {}, 30},
                                                                {{1.0}, {1.5, 1.0}, 30},
                                                                {{1.5}, {0.5}, 15}}) {
        std::vector<bool> outcomes;
        auto ask = [&](double seconds) { player.seek(at(seconds), [&](bool done) { outcomes.push_back(done); }); };
        ask(0.2); // before: the load supersedes it
        player.replaceCurrentItem(Player::open(clip()), at(1.0));
        for (double seconds : during) ask(seconds);
        ASSERT_TRUE(waitFor([&] { return outcomes.size() == 1 + during.size(); })) << frame;
        for (double seconds : after) ask(seconds);
        ASSERT_TRUE(waitFor([&] { return outcomes.size() == 1 + during.size() + after.size(); })) << frame;
        std::vector<bool> expected(outcomes.size(), false);
        expected[during.size()] = true;
        expected.back() = true;
        EXPECT_EQ(outcomes, expected) << frame;
        EXPECT_NEAR(player.currentTime(), frame / 30.0, 1.0 / 60);
        EXPECT_TRUE(waitFor([&] { return shownCode(player) == frame; })) << frame << " shows " << shownCode(player);
        expectShownUntilTheNextSeek(player, frame);
    }
}

// A Matroska movie cut after it was written loses its index, kept at its
// end. An item loaded where its data has stopped, past its last picture,
// fails, paused or playing; one loaded a few pictures before plays them to a
// forward end short of where the data stops, which is told as its end.
TEST_F(PlayerTest, AnItemLoadedPastTheDataOfACutMovieFails)
{
    const auto cut = clip().parent_path() / "cut.mkv";
    runTool("ffmpeg", {"-v", "error", "-y", "-i", clip().string(), "-c", "copy", cut.string()});
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 2 / 5);
    const std::string times = runTool("ffprobe", {"-v", "quiet", "-select_streams", "v", "-show_entries",
                                                  "frame=pts_time", "-of", "csv=p=0", cut.string()});
    const double start = inspectMovie(cut).startSeconds;
    double last = 0; // the latest picture decoded, on the player's clock
    for (std::istringstream lines(times); lines >> std::ws && !lines.eof();) {
        std::string line;
        std::getline(lines, line);
        last = std::max(last, std::stod(line) - start);
    }
    std::vector<uint64_t> failed, ended;
    player.setFailureHandler([&](uint64_t id) { failed.push_back(id); });
    player.setEndHandler([&](uint64_t id) { ended.push_back(id); });
    for (const auto& [seconds, paused, fails] : std::vector<std::tuple<double, bool, bool>>{
             {last + 2.0 / 30, true, true}, {last + 2.0 / 30, false, true}, {last - 3.0 / 30, false, false}}) {
        PlayerItemRef item = Player::open(cut);
        player.setEndTimes(at(seconds), at(fails ? 1.9 : last - 1.5 / 30));
        player.replaceCurrentItem(item, at(seconds));
        std::optional<bool> landed;
        player.seek(at(seconds), [&](bool finished) { landed = finished; });
        ASSERT_TRUE(waitFor([&] { return landed.has_value(); }));
        if (*landed && !paused) player.play();
        // The load is judged on the first picture found, before play can
        // reach an end: by the end told, a failure would have been told.
        const auto told = [&](const std::vector<uint64_t>& ids) { return std::ranges::count(ids, item->id) > 0; };
        ASSERT_TRUE(waitFor([&] { return told(failed) || told(ended); })) << seconds;
        EXPECT_EQ(told(failed), fails) << seconds << (paused ? " paused" : " playing");
    }
}

TEST_F(PlayerTest, ForwardPlayReportsTheEndOnceAndOnlyForTheCurrentItem)
{
    std::vector<uint64_t> ends;
    player.setEndHandler([&](uint64_t id) { ends.push_back(id); });
    player.setEndTimes(at(0.5), at(1.0));
    PlayerItemRef item = load(0.5);
    player.play();
    ASSERT_TRUE(waitFor([&] { return !ends.empty(); }));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(ends, std::vector<uint64_t>{item->id});
    EXPECT_NEAR(player.currentTime(), 1.0, 1.0 / 30);
    EXPECT_EQ(player.rate(), 0);

    ends.clear();
    load(0.8);
    player.play();
    player.replaceCurrentItem(Player::open(clip()));
    waitFor([] { return false; }, 500);
    EXPECT_TRUE(ends.empty());
}

TEST_F(PlayerTest, ReversePlayPausesAtTheReverseEndWithoutReport)
{
    int ends = 0;
    player.setEndHandler([&](uint64_t) { ++ends; });
    player.setEndTimes(at(1.0), at(2.0));
    load(1.4);
    player.setRate(-1);
    ASSERT_TRUE(waitFor([&] { return player.rate() == 0; }));
    EXPECT_TRUE(waitFor([&] { return shownCode(player) == 30; })) << shownCode(player);
    EXPECT_NEAR(player.currentTime(), 1.0, 1.0 / 30);
    EXPECT_EQ(ends, 0);

    player.setEndTimes(at(1.0), at(1.3));
    player.play(); // forwards again, to the forward end set meanwhile
    ASSERT_TRUE(waitFor([&] { return ends == 1; }));
    EXPECT_NEAR(player.currentTime(), 1.3, 1.0 / 30);
}

// Backward play shows every frame before the one on show, once and in
// order, whether forward play came first (its frames are kept) or not; at
// this size a stretch of frames decoded at a time is shorter than the
// movie, so several are joined, across key frames. K settles on the frame reached.
TEST_F(PlayerTest, BackwardPlayShowsEachFrameInTurnAndKStaysOnTheLast)
{
    player.setOutputSize(QSize(1280, 720));
    for (const bool playedFirst : {true, false}) {
        load(playedFirst ? 0.5 : 1.5);
        if (playedFirst) {
            player.play();
            ASSERT_TRUE(waitFor([&] { return player.currentTime() >= 1.5; }));
            player.pause();
        }
        waitFor([] { return false; }, 300); // the last frames asked for are drawn
        const int from = shownCode(player);
        std::vector<int> codes;
        player.setFrameHandler([&] {
            if (const int code = shownCode(player); codes.empty() || codes.back() != code) codes.push_back(code);
        });
        player.setRate(-1);
        ASSERT_TRUE(waitFor([&] { return !codes.empty() && codes.back() <= 20; }, 8000)) << playedFirst;
        player.pause();
        waitFor([] { return false; }, 300);
        player.setFrameHandler({});
        std::vector<int> expected;
        for (int code = from - 1; code >= codes.back(); --code) expected.push_back(code);
        EXPECT_EQ(codes, expected) << "played first: " << playedFirst;
        EXPECT_EQ(shownCode(player), codes.back());
        EXPECT_NEAR(player.currentTime(), codes.back() / 30.0, 1.0 / 60);
    }
}

// The shuttle's faster rates step over frames (-4 shows every other one, at
// 60 a second); a seek while going backwards
// goes on backwards from there; L turns forwards from the frame reached.
TEST_F(PlayerTest, BackwardPlayStepsAtItsRateFollowsSeeksAndTurnsForward)
{
    load(1.8);
    waitFor([] { return false; }, 300);
    std::vector<int> codes;
    player.setFrameHandler([&] {
        if (const int code = shownCode(player); codes.empty() || codes.back() != code) codes.push_back(code);
    });
    player.setRate(-4);
    ASSERT_TRUE(waitFor([&] { return codes.size() >= 4; }));
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(codes[i - 1] - codes[i], 2) << i;
    player.seek(at(1.0));
    ASSERT_TRUE(waitFor([&] { return codes.back() < 28; }));
    EXPECT_LT(player.rate(), 0);
    player.setRate(1);
    const int reached = codes.back();
    ASSERT_TRUE(waitFor([&] { return codes.back() > reached + 3; }));
    player.setFrameHandler({});
    const auto turned = std::find(codes.begin(), codes.end(), reached);
    ASSERT_NE(turned, codes.end());
    EXPECT_TRUE(std::is_sorted(turned, codes.end())) << "forward play starts at the frame reached";
}

TEST_F(PlayerTest, AForwardEndJustPastTheDurationPlaysToTheLastFrame)
{
    int ends = 0;
    player.setEndHandler([&](uint64_t) { ++ends; });
    PlayerItemRef item = Player::open(clip());
    EXPECT_NEAR(item->durationSeconds(), inspectMovie(clip()).durationSeconds, 1e-3);
    player.setEndTimes(at(1.8), at(item->durationSeconds() + 0.02));
    player.replaceCurrentItem(item);
    ASSERT_EQ(seekAndWait(player, 1.8), true);
    player.play();
    ASSERT_TRUE(waitFor([&] { return ends == 1; }));
    EXPECT_TRUE(waitFor([&] { return shownCode(player) == 59; }));
}

TEST(PlayerInputTest, UnusualFilesNeitherCrashNorHang)
{
    TempDir dir;
    const auto fifo = dir / "pipe.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Player::open(fifo), nullptr) << "a pipe is refused without blocking";
    EXPECT_EQ(Player::open(dir / "missing.mp4"), nullptr);
    EXPECT_EQ(Player::open("/dev/zero"), nullptr);
    std::ofstream(dir / "empty.mp4").close();
    EXPECT_THROW(Player::open(dir / "empty.mp4"), MediaError);

    const auto whole = makeTestMovie(dir / "whole.mp4", {.durationSeconds = 2.0});
    // Index first, so that the cut file opens and its data runs out half way.
    runTool("ffmpeg",
            {"-v", "error", "-i", whole.string(), "-c", "copy", "-movflags", "+faststart", (dir / "cut.mp4").string()});
    std::filesystem::resize_file(dir / "cut.mp4", std::filesystem::file_size(whole) / 2);
    const std::vector<std::filesystem::path> playable{
        dir / "cut.mp4", makeTestMovie(dir / "sound.mp4", {.video = false}),
        makeTestMovie(dir / "vfr.mp4", {.variableFrameRate = true}),
        makeTestMovie(dir / "phone.mp4", {.width = 96, .height = 64, .rotationDegrees = 90})};
    for (const auto& path : playable) {
        PlayerItemRef item;
        try {
            item = Player::open(path);
        } catch (const MediaError& error) {
            ADD_FAILURE() << path << ": " << error.what();
            continue;
        }
        Player player(quiet());
        player.replaceCurrentItem(item);
        EXPECT_TRUE(seekAndWait(player, 0.2).has_value()) << path;
        player.play();
        waitFor([] { return false; }, 300);
    }
}

TEST(PlayerInputTest, PlaysToTheEndWithMpvsOwnSoundOutput)
{
    // Where no sound device opens (a build machine), play must go on silently.
    TempDir dir;
    Player player;
    int ends = 0;
    player.setEndHandler([&](uint64_t) { ++ends; });
    player.replaceCurrentItem(Player::open(makeTestMovie(dir / "clip.mp4", {.durationSeconds = 0.5})));
    ASSERT_EQ(seekAndWait(player, 0.2), true);
    player.play();
    EXPECT_TRUE(waitFor([&] { return ends == 1; }));
}

TEST(PlayerPictureTest, ARotatedClipIsDrawnUpright)
{
    TempDir dir;
    const auto path = makeTestMovie(dir / "phone.mp4", {.width = 96, .height = 64, .rotationDegrees = 90});
    Player player(quiet());
    player.replaceCurrentItem(Player::open(path));
    ASSERT_EQ(seekAndWait(player, 0.0), true);
    const TestFrame expected = decodeFrame(path, 0);
    ASSERT_TRUE(waitFor([&] { return !player.latestFrame().isNull(); }));
    const QImage shown = player.latestFrame();
    ASSERT_EQ(shown.size(), QSize(expected.width, expected.height));
    double difference = 0;
    for (int y = 0; y < shown.height(); y += 4) {
        for (int x = 0; x < shown.width(); x += 4) {
            const QRgb pixel = shown.pixel(x, y);
            difference += std::abs(qGray(pixel) - (expected.pixel(x, y).r + expected.pixel(x, y).g) / 2);
        }
    }
    EXPECT_LT(difference / (shown.width() * shown.height() / 16.0), 12);
}

// Where in `source` the sound written to `wav` starts, in seconds: the lag
// at which 0.1 s of what was heard matches the source best.
double firstSoundHeardAt(const std::filesystem::path& source, const std::filesystem::path& wav)
{
    const std::vector<float> from = decodeAudioMono(source), written = decodeAudioMono(wav);
    constexpr size_t window = 800; // 0.1 s at 8 kHz
    if (written.size() < window + 400) return -1;
    size_t best = 0;
    double bestScore = -1e9;
    for (size_t lag = 0; lag + window < from.size(); ++lag) {
        double score = 0;
        for (size_t i = 0; i < window; ++i) score += from[lag + i] * written[i + 400];
        if (score > bestScore) bestScore = score, best = lag;
    }
    return (double(best) - 400) / 8000.0;
}

// A rising tone: each moment has its own pitch, so an offset shows. Where the
// pictures start a second after the sound, the sound before them is heard
// from the in point as well.
struct SoundCase {
    std::string name;
    double picturesLateSeconds;
    double inSeconds;
};

class PlayerSound : public testing::TestWithParam<SoundCase> { };

TEST_P(PlayerSound, PlaysFromTheInPoint)
{
    TempDir dir;
    const auto chirp = dir / "chirp.mp4";
    runTool("ffmpeg", {"-v",          "error",
                       "-f",          "lavfi",
                       "-i",          "testsrc2=s=64x36:r=30:d=3",
                       "-f",          "lavfi",
                       "-i",          "aevalsrc=sin(2*PI*(200*t+150*t*t)):s=48000:d=3",
                       "-c:v",        "libx264",
                       "-preset",     "ultrafast",
                       "-pix_fmt",    "yuv420p",
                       "-c:a",        "aac",
                       "-b:a",        "192k",
                       chirp.string()});
    const SoundCase& c = GetParam();
    const auto path = dir / "late.mp4";
    runTool("ffmpeg", {"-v", "error", "-itsoffset", std::to_string(c.picturesLateSeconds), "-i", chirp.string(), "-i",
                       chirp.string(), "-map", "0:v", "-map", "1:a", "-c", "copy", path.string()});
    const auto wav = dir / "out.wav";
    {
        Player player({.audioOutput = "pcm", .audioFile = wav, .hardwareDecoding = false});
        player.setEndTimes(at(c.inSeconds), at(c.inSeconds + 0.6));
        player.replaceCurrentItem(Player::open(path), at(c.inSeconds));
        ASSERT_EQ(seekAndWait(player, c.inSeconds), true);
        bool ended = false;
        player.setEndHandler([&](uint64_t) { ended = true; });
        player.play();
        ASSERT_TRUE(waitFor([&] { return ended; }, 10000));
    }
    EXPECT_NEAR(firstSoundHeardAt(path, wav), c.inSeconds, 0.03) << "the first sound heard is the in point's";
}

INSTANTIATE_TEST_SUITE_P(Table, PlayerSound,
                         testing::Values(SoundCase{"in the pictures", 0, 1.5}, SoundCase{"before the pictures", 1, 0.2},
                                         SoundCase{"before the pictures into them", 1, 0.7}),
                         ByName{});

} // namespace
