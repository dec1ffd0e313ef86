#include "platform/media/MediaError.h"
#include "platform/media/SourceDecoders.h"
#include "platform/media/StandingBack.h"
#include "platform/media/VideoDecoder.h"
#include "support/RefusedThreads.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <fstream>

using namespace zanto;
using namespace zanto::test;

namespace {

struct Cut {
    int file; // index into the suite's files
    double start;
    double length;
};

struct DecodeCase {
    const char* name;
    std::vector<Cut> cuts; // in output order
};

class SourceDecodersTest : public testing::TestWithParam<DecodeCase> {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir("zanto-source-decoders-");
        TestMovieOptions o;
        o.audio = false;
        o.bFrames = true; // a key frame every 2 s
        o.durationSeconds = 8;
        makeTestMovie(file(0), o);
        for (int i = 1; i < 6; ++i) std::filesystem::copy_file(file(0), file(i));
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::filesystem::path file(int i) { return *dir_ / ("source" + std::to_string(i) + ".mp4"); }

    static Composition composition(const std::vector<Cut>& cuts)
    {
        Composition c;
        MediaTime at{0, 60000};
        for (const Cut& cut : cuts) {
            const MediaTimeRange range{MediaTime::fromSeconds(cut.start, 60000),
                                       MediaTime::fromSeconds(cut.length, 60000)};
            c.video.push_back({file(cut.file), range, at});
            at = at + range.duration;
        }
        c.duration = at;
        return c;
    }

    static TempDir* dir_;
};

TempDir* SourceDecodersTest::dir_ = nullptr;

// Every output frame, taken as the export's decode thread takes it, shows
// its own insert's file at its own insert's time, whatever was prepared
// ahead, kept open or decoded before.
void expectEveryInsertShowsItsOwnRange(const Composition& c)
{
    media::SourceDecoders decoders(c);
    for (int64_t k = 0; k < compositionFrameCount(c); ++k) {
        const MediaTime time = c.frameDuration * k;
        const int insert = media::insertCovering(c.video, time);
        ASSERT_GE(insert, 0);
        const CompositionInsert& in = c.video[size_t(insert)];
        media::VideoDecoder& decoder = decoders.decoder(insert);
        const MediaTime sourceTime = in.sourceRange.start + (time - in.outputTime);
        const double shown = decoder.frameTime(decoder.frameAt(sourceTime)).seconds();
        EXPECT_EQ(decoder.asset().path, in.assetPath) << "output frame " << k;
        EXPECT_NEAR(shown, std::floor(sourceTime.seconds() * 30 + 1e-6) / 30, 1e-6) << "output frame " << k;
        EXPECT_LE(decoders.openCount(), media::SourceDecoders::kOpenDecoders);
    }
    EXPECT_EQ(decoders.openCount(), 1u) << "the decoders of files shown no more are closed";
}

TEST_P(SourceDecodersTest, EveryInsertShowsItsOwnRange)
{
    expectEveryInsertShowsItsOwnRange(composition(GetParam().cuts));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SourceDecodersTest,
    testing::Values(
        DecodeCase{"OnInOneFile", {{0, 0.5, 0.5}, {0, 1.2, 0.4}, {0, 1.6, 0.3}}},
        DecodeCase{"PastKeyFramesThenBack", {{0, 0.5, 0.5}, {0, 5.1, 0.5}, {0, 2.0, 0.4}, {0, 2.0, 0.4}}},
        DecodeCase{"AlternatingFiles", {{0, 1.0, 0.5}, {1, 1.0, 0.5}, {0, 4.0, 0.3}, {1, 0.2, 0.3}, {0, 1.6, 0.4}}},
        DecodeCase{"MoreFilesThanKeptOpen",
                   {{0, 3.0, 0.3},
                    {1, 1.0, 0.3},
                    {2, 6.5, 0.3},
                    {3, 0.0, 0.3},
                    {4, 2.2, 0.3},
                    {5, 7.0, 0.3},
                    {0, 3.4, 0.3},
                    {2, 1.0, 0.2}}},
        // Two decoders of one file prepared at once, for different ranges.
        DecodeCase{"OneFilePreparedTwiceAtOnce", {{1, 0.5, 0.3}, {0, 1.0, 0.3}, {0, 5.0, 0.3}, {0, 1.5, 0.3}}},
        // An insert decoded on into, between prepared ones.
        DecodeCase{"GoingOnBetweenPreparedInserts", {{0, 0.2, 0.3}, {0, 0.6, 0.3}, {1, 3.0, 0.3}, {0, 1.0, 0.3}}},
        DecodeCase{"ShortCutsLikeAThousandItemPlaylist",
                   {{0, 0.0, 0.1}, {1, 0.1, 0.1}, {0, 0.2, 0.1}, {1, 0.3, 0.1}, {0, 6.0, 0.1}, {1, 0.0, 0.1}}}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

// An insert asked for out of the order prepared for still gets its own
// range, and the insert that was prepared shows its own when it comes.
TEST_F(SourceDecodersTest, AnInsertOutOfTurnDropsThePreparationCleanly)
{
    const Composition c = composition({{0, 1.0, 0.5}, {1, 4.0, 0.5}, {0, 6.0, 0.5}});
    media::SourceDecoders decoders(c);
    for (int insert : {0, 2, 1, 0}) {
        const CompositionInsert& in = c.video[size_t(insert)];
        media::VideoDecoder& decoder = decoders.decoder(insert);
        EXPECT_EQ(decoder.asset().path, in.assetPath);
        EXPECT_NEAR(decoder.frameTime(decoder.frameAt(in.sourceRange.start)).seconds(), in.sourceRange.start.seconds(),
                    1e-6)
            << "insert " << insert;
    }
}

// A file that cannot be read fails only the insert that shows it, though
// its preparation started two inserts before.
TEST_F(SourceDecodersTest, AFailedPreparationBelongsToItsOwnInsert)
{
    const std::filesystem::path broken = *dir_ / "broken.mp4";
    std::ofstream(broken) << "not a movie";
    Composition c = composition({{0, 1.0, 0.5}, {1, 4.0, 0.5}, {2, 6.0, 0.5}});
    c.video[2].assetPath = broken;
    media::SourceDecoders decoders(c);
    for (int insert : {0, 1}) EXPECT_EQ(decoders.decoder(insert).asset().path, c.video[size_t(insert)].assetPath);
    EXPECT_THROW(decoders.decoder(2), MediaError);
}

// The system refuses the thread that would prepare the second insert (the
// start after the first decoder's own): that insert is opened when it comes,
// and the later ones are prepared as ever.
TEST_F(SourceDecodersTest, ARefusedPreparationLeavesItsInsertToBeOpenedWhenItComes)
{
    refuseThreadStart(2);
    expectEveryInsertShowsItsOwnRange(composition({{0, 1.0, 0.5}, {1, 1.0, 0.5}, {0, 4.0, 0.3}}));
    EXPECT_GT(threadStarts(), 2) << "no thread was refused, or none started after it";
    refuseThreadStart(0);
}

// The decoders take only the cores the export's encoder leaves idle: their
// threads stand further back than the encoder's, the caller's stay put.
TEST_F(SourceDecodersTest, ItsDecodingThreadsStandBehindTheEncoder)
{
    const auto niceness = [](pid_t thread) {
        errno = 0;
        return getpriority(PRIO_PROCESS, id_t(thread));
    };
    const int before = niceness(gettid());
    if (before + media::kEncoderStandsBack >= 19) GTEST_SKIP() << "this test runs too near the lowest priority";
    const Composition c = composition({{0, 1.0, 0.5}, {1, 4.0, 0.5}});
    media::SourceDecoders decoders(c);
    decoders.decoder(0).frameAt(c.video[0].sourceRange.start);
    EXPECT_EQ(niceness(gettid()), before);
    int behind = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        behind += niceness(pid_t(std::stoi(task.path().filename().string()))) > before + media::kEncoderStandsBack;
    EXPECT_GT(behind, 0) << "the decoders' threads run no further back than the encoder's";
}

} // namespace
