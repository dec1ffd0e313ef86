#include "platform/media/MovieEncoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

using namespace zanto;
using namespace zanto::media;
using namespace zanto::test;

namespace {

int niceness(pid_t thread)
{
    errno = 0;
    return getpriority(PRIO_PROCESS, id_t(thread));
}

} // namespace

// The encoder's own threads give way to the stages that feed it; the thread
// that made the encoder keeps its priority.
TEST(MovieEncoder, ItsThreadsStandBackWhileTheCallerKeepsItsPriority)
{
    TempDir dir;
    const int before = niceness(gettid());
    if (before >= 19) GTEST_SKIP() << "this test runs at the lowest priority already: nothing to stand back from";
    MovieEncoder encoder(dir.path() / "standing-back.mp4", EncoderSetup{});
    EXPECT_EQ(niceness(gettid()), before);
    int standingBack = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        standingBack += niceness(pid_t(std::stoi(task.path().filename().string()))) > before;
    EXPECT_GT(standingBack, 0) << "the encoder's threads run at the caller's priority";
}
