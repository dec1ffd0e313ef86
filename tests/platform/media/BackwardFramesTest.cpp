#include "platform/media/BackwardFrames.h"
#include "support/EventLoopWait.h"
#include "support/PictureFrameCode.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace zanto;
using namespace zanto::test;

namespace {

// Takes frames until none is left (or 10 s pass), as their codes; -1 for a
// picture whose code does not match its time.
std::vector<int> takeAll(BackwardFrames& frames)
{
    std::vector<int> codes;
    waitFor(
        [&] {
            while (const std::optional<BackwardFrame> frame = frames.take()) {
                const int code = pictureFrameCode(frame->image);
                codes.push_back(code == int(std::lround(frame->seconds * 30)) ? code : -1);
            }
            return frames.exhausted();
        },
        10000);
    return codes;
}

std::vector<int> countdown(int from, int to)
{
    std::vector<int> codes;
    for (int code = from; code >= to; --code) codes.push_back(code);
    return codes;
}

struct BackwardCase {
    const char* name;
    QSize size;        // 1280 × 720: stretches of 24 frames, so several are joined
    double followedTo; // < 0: not followed first
    double from, floor;
    int first, last; // the codes expected
};

class BackwardFramesTest : public testing::TestWithParam<BackwardCase> {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir("zanto-backward-");
        makeTestMovie(*dir_ / "code.mp4", {.durationSeconds = 2.0, .audio = false});
    }
    static void TearDownTestSuite() { delete dir_; }
    static TempDir* dir_;
};
TempDir* BackwardFramesTest::dir_ = nullptr;

TEST_P(BackwardFramesTest, HandsOutEachFrameBeforeTheOneOnShowOnceDownToTheFloor)
{
    const BackwardCase& c = GetParam();
    BackwardFrames frames(MediaAsset::load(*dir_ / "code.mp4"), c.size);
    if (c.followedTo >= 0) {
        // Forward play from 0.2 s, as a player reports it.
        for (double seconds = 0.2; seconds <= c.followedTo + 1e-6; seconds += 1.0 / 30) frames.follow(seconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    frames.rewind(c.from, c.floor);
    const std::vector<int> codes = takeAll(frames);
    EXPECT_EQ(codes, countdown(c.first, c.last));
    EXPECT_TRUE(frames.exhausted());
    EXPECT_FALSE(frames.take().has_value());
}

INSTANTIATE_TEST_SUITE_P(Cases, BackwardFramesTest,
                         testing::Values(BackwardCase{"Cold", {160, 90}, -1, 1.5, 0, 44, 0},
                                         BackwardCase{"ColdInStretches", {1280, 720}, -1, 1.5, 0, 44, 0},
                                         BackwardCase{"Followed", {1280, 720}, 1.5, 1.5, 0, 44, 0},
                                         BackwardCase{"FollowedThenSoughtBack", {1280, 720}, 1.8, 1.0, 0, 29, 0},
                                         BackwardCase{"ToAFloor", {160, 90}, -1, 1.5, 0.5, 44, 15}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BackwardFramesInputTest, AFileThatCannotBeReadOnEndsBackwardPlay)
{
    TempDir dir;
    const auto path = makeTestMovie(dir / "code.mp4", {.durationSeconds = 2.0, .audio = false});
    const MediaAsset asset = MediaAsset::load(path);
    std::filesystem::resize_file(path, 0);
    BackwardFrames frames(asset, {160, 90});
    frames.rewind(1.5, 0);
    EXPECT_TRUE(takeAll(frames).empty());
    EXPECT_TRUE(frames.exhausted());
}

} // namespace
