#pragma once
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <stop_token>
#include <thread>

namespace zanto {

// Threads that no caller waits for. Work started here runs on a thread of
// its own; whoever started it asks it to stop through the stop source it was
// given and goes on at once, and a joiner thread of this joins the thread as
// soon as its work returns. Whatever still runs when the program ends is
// asked to stop and joined then (at static destruction), so that no work runs
// past main. For workers whose owner must not wait for them: the GUI thread.
//
// Any thread may start work. The work ends on its own once asked to stop,
// and lets go of what it holds on its own thread before it returns.
class BackgroundThreads {
public:
    // Runs `work` on a new thread, with the token of the stop source
    // returned. Throws std::system_error when no thread can be started.
    static std::stop_source start(std::function<void(std::stop_token)> work);

private:
    struct Running {
        std::thread thread;
        std::stop_source stop;
        bool ended = false;
    };

    BackgroundThreads();
    ~BackgroundThreads();
    static BackgroundThreads& instance();
    void joinEnded();

    std::mutex mutex_; // guards everything below
    std::condition_variable wake_;
    std::list<Running> running_; // started and not joined yet
    bool closing_ = false;       // the program ends
    std::thread joiner_;
};

} // namespace zanto
