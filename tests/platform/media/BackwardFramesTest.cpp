#include "platform/FileDescriptor.h"
#include "platform/media/BackwardFrames.h"
#include "support/EventLoopWait.h"
#include "support/PictureFrameCode.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>

#include <cmath>
#include <csignal>
#include <memory>
#include <optional>
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

// A file as slow to open as one on a network share can be: a write lease on
// it holds every other opening of it until let go. Its openings are watched.
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path)
        : holder_(::open(path.c_str(), O_RDWR)), watch_(inotify_init1(IN_NONBLOCK))
    {
        std::signal(SIGIO, SIG_IGN); // how the kernel tells the holder that someone waits
        held_ = fcntl(holder_.get(), F_SETLEASE, F_WRLCK) == 0
                && inotify_add_watch(watch_.get(), path.c_str(), IN_OPEN | IN_CLOSE_NOWRITE) >= 0;
    }
    bool held() const { return held_; }
    // Someone waits to read it: the lease is being broken down.
    bool waitedOn() const { return fcntl(holder_.get(), F_GETLEASE) == F_RDLCK; }
    void letGo() { fcntl(holder_.get(), F_SETLEASE, F_UNLCK); }
    // Whether someone else opened it, and closed it again, since it was held.
    bool opened() { return (watched() & IN_OPEN) != 0; }
    bool closed() { return (watched() & IN_CLOSE_NOWRITE) != 0; }

private:
    uint32_t watched()
    {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t length; (length = ::read(watch_.get(), buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < length; at += ssize_t(sizeof(inotify_event)) + ssize_t(eventAt(buffer, at)->len))
                seen_ |= eventAt(buffer, at)->mask;
        return seen_;
    }
    static const inotify_event* eventAt(const char* buffer, ssize_t at)
    {
        return reinterpret_cast<const inotify_event*>(buffer + at);
    }

    FileDescriptor holder_, watch_;
    bool held_ = false;
    uint32_t seen_ = 0;
};

TEST(BackwardFramesStopTest, GoesWithoutWaitingForAWorkerOpeningItsFileWhichThenEndsOnItsOwn)
{
    TempDir dir;
    const auto path = makeTestMovie(dir / "code.mp4", {.durationSeconds = 2.0, .audio = false});
    auto frames = std::make_unique<BackwardFrames>(MediaAsset::load(path), QSize(160, 90));
    HeldFile file(path);
    ASSERT_TRUE(file.held());
    frames->rewind(1.5, 0);
    ASSERT_TRUE(waitFor([&] { return file.waitedOn(); }, 10000)); // the worker is in its opening
    frames.reset();
    EXPECT_FALSE(file.opened()); // gone while the worker still waits
    file.letGo();
    EXPECT_TRUE(waitFor([&] { return file.opened() && file.closed(); }, 10000));
}

// Let go only when the program ends (a static), while its worker decodes
// stretches of 720p from key frames 2 s apart: the program still ends
// cleanly, its worker joined rather than cut off.
TEST(BackwardFramesStopTest, TheProgramEndsCleanlyWhileAWorkerLetGoStillDecodes)
{
    static TempDir dir;
    const auto path = makeTestMovie(dir / "long.mp4", {.width = 1280,
                                                       .height = 720,
                                                       .durationSeconds = 6.0,
                                                       .picture = TestPicture::Bars,
                                                       .audio = false,
                                                       .bFrames = true});
    static std::optional<BackwardFrames> frames;
    frames.emplace(MediaAsset::load(path), QSize(1280, 720));
    frames->rewind(5.9, 0);
    EXPECT_TRUE(waitFor([&] { return frames->take().has_value(); }, 10000));
}

} // namespace
