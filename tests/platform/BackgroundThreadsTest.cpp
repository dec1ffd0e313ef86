// Threads that no caller waits for, in a process that reaches its limit of
// threads.
#include "platform/BackgroundThreads.h"
#include "support/RefusedThreads.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <system_error>

using namespace zanto;
using namespace zanto::test;

// The first start in a process starts the joiner too, then the work's own
// thread; later starts start the work's alone. Whichever is refused, the
// start throws the system's error, nothing runs, and the next start runs its
// work: a refused joiner is started again then. In a process that has not
// started any yet, the first round refuses the joiner, the second the work's.
TEST(BackgroundThreads, ARefusedStartThrowsAndTheNextOneRunsItsWork)
{
    for (int round = 0; round < 2; ++round) {
        bool refusedRan = false;
        refuseThreadStart(1);
        EXPECT_THROW(BackgroundThreads::start([&](std::stop_token) { refusedRan = true; }), std::system_error) << round;
        EXPECT_EQ(threadStarts(), 1) << round;
        refuseThreadStart(0);
        // The work holds its end of the promise, which may outlive the wait.
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> ran = done->get_future();
        BackgroundThreads::start([done](std::stop_token) { done->set_value(); });
        ran.wait();
        EXPECT_FALSE(refusedRan) << round;
    }
}
