// The player in a process that reaches its limit of threads.
#include "platform/media/Player.h"
#include "support/EventLoopWait.h"
#include "support/GuiTestEnvironment.h"
#include "support/RefusedThreads.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

using namespace zanto;
using namespace zanto::test;

// The picture renderer's thread refused as the player starts: it is asked
// for again at the next item, whose pictures are then drawn.
TEST(PlayerThreadStart, ARefusedRendererDrawsFromTheNextItemOn)
{
    TempDir dir;
    const auto clip = makeTestMovie(dir / "clip.mp4", {.durationSeconds = 0.5});
    refuseThreadStart(1);
    Player player({.audioOutput = "null", .hardwareDecoding = false});
    ASSERT_EQ(threadStarts(), 1);
    player.replaceCurrentItem(Player::open(clip), MediaTime::fromSeconds(0.2, 600));
    EXPECT_TRUE(waitFor([&] { return !player.latestFrame().isNull(); }));
}
