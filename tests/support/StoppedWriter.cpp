#include "support/StoppedWriter.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zanto::test {
namespace {

int reportFd = -1;

// Runs in the child on the write that passed the limit: tells the parent and
// never returns, so the write stays unfinished.
void holdForEver(int)
{
    const char stopped = 's';
    [[maybe_unused]] const ssize_t written = ::write(reportFd, &stopped, 1);
    for (;;) ::pause();
}

[[noreturn]] void runChild(const std::function<void()>& write, off_t limitBytes, int report)
{
    reportFd = report;
    struct sigaction action { };
    action.sa_handler = holdForEver;
    ::sigaction(SIGXFSZ, &action, nullptr);
    const rlimit limit{rlim_t(limitBytes), RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
        write();
    } catch (...) { }
    ::_exit(0);
}

} // namespace

StoppedWriter::StoppedWriter(const std::function<void()>& write, off_t limitBytes)
{
    int ends[2];
    if (::pipe(ends) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
        ::close(ends[0]);
        runChild(write, limitBytes, ends[1]);
    }
    ::close(ends[1]);
    pollfd wait{ends[0], POLLIN, 0};
    char seen = 0;
    stopped_ = child_ > 0 && ::poll(&wait, 1, 120000) == 1 && ::read(ends[0], &seen, 1) == 1;
    ::close(ends[0]);
}

StoppedWriter::~StoppedWriter()
{
    kill();
}

void StoppedWriter::kill()
{
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
}

} // namespace zanto::test
