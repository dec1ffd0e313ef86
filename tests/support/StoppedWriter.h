#pragma once
#include <sys/types.h>

#include <functional>

namespace zanto::test {

// A writer in a child process (fork) held in the middle of writing: the
// child runs `write` under a file size limit of `limitBytes`, and the first
// write past the limit stops it there for good, its files and locks as they
// are. kill() then ends it with SIGKILL, as a person or the system would kill
// a program mid-write. The child's files live on after it.
class StoppedWriter {
public:
    StoppedWriter(const std::function<void()>& write, off_t limitBytes);
    ~StoppedWriter();
    StoppedWriter(const StoppedWriter&) = delete;
    StoppedWriter& operator=(const StoppedWriter&) = delete;

    // Whether the child reached the limit (false: it ended or failed first).
    bool stopped() const { return stopped_; }
    // Kills the child with SIGKILL and waits for it to be gone.
    void kill();

private:
    pid_t child_ = -1;
    bool stopped_ = false;
};

} // namespace zanto::test
