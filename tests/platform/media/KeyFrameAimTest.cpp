// Where a seek in a transport stream must aim to land on a key frame at or
// before its target: asked of the preview's aim on its worker, and reached
// by the export's reader, in a stream whose key frames spread out after its
// start and in one that marks none after its first two seconds.
#include "platform/media/FrameReader.h"
#include "platform/media/KeyFrameAim.h"
#include "platform/media/MediaError.h"
#include "platform/media/VideoDecoder.h"
#include "support/EventLoopWait.h"
#include "support/GuiTestEnvironment.h"
#include "support/PictureFrameCode.h"
#include "support/RefusedThreads.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <QThread>

#include <gtest/gtest.h>

#include <sstream>

using namespace zanto;
using namespace zanto::test;

namespace {

enum class Marks { Spread, NoneAfterStart };

// Key frames every half second for the first two seconds, then every 5 s
// (Spread) or never again.
std::filesystem::path movie(Marks marks)
{
    static TempDir folder;
    const auto path = folder / (marks == Marks::Spread ? "spread.ts" : "unmarked.ts");
    if (std::filesystem::exists(path)) return path;
    const auto source = makeTestMovie(folder / "source.mp4", {.durationSeconds = 30.0, .audio = false});
    const std::string keyInterval = marks == Marks::Spread ? "keyint=150:min-keyint=150" : "keyint=infinite";
    runTool("ffmpeg", {"-v", "error", "-y", "-i", source.string(), "-c:v", "libx264", "-preset", "ultrafast",
                       "-x264-params", keyInterval + ":scenecut=0", "-force_key_frames", "0,0.5,1,1.5", path.string()});
    return path;
}

// The key frames ffprobe finds, in seconds from the file's first presentation time.
std::vector<double> keyFrameSeconds(const std::filesystem::path& path, double firstSeconds)
{
    std::istringstream lines(runTool("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                                 "packet=pts_time,flags", "-of", "csv=p=0", path.string()}));
    std::vector<double> keys;
    for (std::string line; std::getline(lines, line);)
        if (line.find('K') != std::string::npos) keys.push_back(std::stod(line) - firstSeconds);
    return keys;
}

MediaTime at(double seconds)
{
    return MediaTime::fromSeconds(seconds, 90000);
}

// Asks `aim` and waits for its answer, checking it comes on this thread.
std::optional<MediaTime> answerOf(media::KeyFrameAim& aim, const MediaTime& time)
{
    QObject context;
    std::optional<std::optional<MediaTime>> answer;
    aim.aim(time, &context, [&](std::optional<MediaTime> preroll) {
        EXPECT_EQ(QThread::currentThread(), context.thread());
        answer = preroll;
    });
    EXPECT_FALSE(answer) << "answered inside the call";
    EXPECT_TRUE(waitFor([&] { return answer.has_value(); }, 20000));
    return answer.value_or(std::nullopt);
}

struct AimCase {
    const char* name;
    Marks marks;
    int frame;
    int64_t passBytes;
    bool aimKnown; // else: left to the player's own search
};

class KeyFrameAimTable : public testing::TestWithParam<AimCase> { };

TEST_P(KeyFrameAimTable, TheAimLandsOnAKeyFrameAtOrBeforeTheTargetAndTheReaderShowsIt)
{
    const AimCase& row = GetParam();
    FrameReader reader(movie(row.marks));
    const MediaAsset& asset = reader.asset();
    const double seconds = (row.frame + 0.4) / 30;
    media::KeyFrameAim aim(asset, {.passBytes = row.passBytes, .time = std::chrono::seconds(10)});
    const std::optional<MediaTime> preroll = answerOf(aim, at(seconds));
    ASSERT_EQ(preroll.has_value(), row.aimKnown);
    if (preroll) {
        const std::vector<double> keys = keyFrameSeconds(asset.path, asset.firstPresentationTime.seconds());
        const auto after = std::upper_bound(keys.begin(), keys.end(), seconds);
        ASSERT_NE(after, keys.begin());
        EXPECT_LE(seconds - preroll->seconds(), *std::prev(after) + 1e-6) << "aims past the last key frame before";
    }
    // Eight stripes count the frames modulo 256.
    EXPECT_EQ(pictureFrameCode(reader.frameAt(at(seconds)).image), row.frame % 256);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyFrameAimTable,
    testing::Values(AimCase{"Spread_BeforeTheSpread", Marks::Spread, 40, 32 << 20, true},
                    AimCase{"Spread_OneIntervalOn", Marks::Spread, 170, 32 << 20, true},
                    AimCase{"Spread_FarOn", Marks::Spread, 800, 32 << 20, true},
                    AimCase{"Unmarked_NearStart", Marks::NoneAfterStart, 100, 32 << 20, true},
                    AimCase{"Unmarked_FarOnReadToTheStart", Marks::NoneAfterStart, 800, 32 << 20, true},
                    AimCase{"Unmarked_FarOnOutOfBounds", Marks::NoneAfterStart, 800, 32 << 10, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Asks in a row, as a drag along the slider sends them: the latest is
// answered, those not started before it are dropped, none answered twice.
TEST(KeyFrameAim, OfAsksInARowTheLatestIsAnsweredAndThoseNotStartedAreDropped)
{
    media::KeyFrameAim aim(MediaAsset::load(movie(Marks::Spread)));
    QObject context;
    std::vector<int> answered;
    for (int ask = 0; ask < 40; ++ask)
        aim.aim(at(1 + ask * 0.5), &context, [&answered, ask](std::optional<MediaTime>) { answered.push_back(ask); });
    ASSERT_TRUE(waitFor([&] { return !answered.empty() && answered.back() == 39; }, 20000));
    waitFor([] { return false; }, 200);
    EXPECT_LT(answered.size(), 40u);
    EXPECT_TRUE(std::is_sorted(answered.begin(), answered.end()));
    EXPECT_EQ(std::adjacent_find(answered.begin(), answered.end()), answered.end());
}

// Its asker or the aim itself gone before the answer: nothing is answered,
// and the worker is stopped and joined with the aim.
TEST(KeyFrameAim, NoAnswerComesOnceTheAskerOrTheAimIsGone)
{
    const MediaAsset asset = MediaAsset::load(movie(Marks::NoneAfterStart));
    const int running = runningThreads();
    QObject keeper;
    bool answered = false;
    {
        media::KeyFrameAim aim(asset);
        auto context = std::make_unique<QObject>();
        aim.aim(at(20), context.get(), [&](std::optional<MediaTime>) { answered = true; });
        context.reset();
        waitFor([] { return false; }, 300);
        aim.aim(at(25), &keeper, [&](std::optional<MediaTime>) { answered = true; });
    }
    EXPECT_EQ(runningThreads(), running);
    waitFor([] { return false; }, 300);
    EXPECT_FALSE(answered);
}

// A recording rewritten since it was probed, its first stream now sound:
// the aim is left to the player's own search, the decoder refuses it.
TEST(KeyFrameAim, AFileNoLongerHoldingItsProbedVideoIsNotSearched)
{
    TempDir folder;
    const auto path = folder / "recording.ts";
    std::filesystem::copy_file(movie(Marks::Spread), path);
    const MediaAsset asset = MediaAsset::load(path);
    const auto sound = makeTestMovie(folder / "sound.mp4", {.video = false});
    runTool("ffmpeg", {"-v", "error", "-y", "-i", sound.string(), "-c", "copy", path.string()});
    media::KeyFrameAim aim(asset);
    EXPECT_EQ(answerOf(aim, at(6)), std::nullopt);
    EXPECT_THROW(media::VideoDecoder{asset}, MediaError);
}

// The system refuses the worker a thread: the answer comes queued all the
// same, the one a worker gives, and the next ask starts the worker.
TEST(KeyFrameAim, ARefusedWorkerStillAnswersAndIsAskedForAgain)
{
    const MediaAsset asset = MediaAsset::load(movie(Marks::Spread));
    media::KeyFrameAim started(asset);
    const std::optional<MediaTime> expected = answerOf(started, at(6));
    refuseThreadStart(1);
    media::KeyFrameAim aim(asset);
    EXPECT_EQ(answerOf(aim, at(6)), expected);
    EXPECT_EQ(threadStarts(), 1);
    EXPECT_EQ(answerOf(aim, at(6)), expected);
    EXPECT_EQ(threadStarts(), 2);
}

} // namespace
