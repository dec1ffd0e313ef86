#include "platform/BackgroundThreads.h"

#include <algorithm>
#include <vector>

namespace zanto {

BackgroundThreads::BackgroundThreads() : joiner_([this] { joinEnded(); }) { }

// The program ends: what still runs is asked to stop, and joined.
BackgroundThreads::~BackgroundThreads()
{
    std::vector<std::stop_source> stops;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        for (const Running& running : running_) stops.push_back(running.stop);
    }
    for (std::stop_source& stop : stops) stop.request_stop();
    wake_.notify_all();
    joiner_.join();
}

// Made at the first start, so that it outlives every owner of work, even a
// static one: statics go in the reverse order of their making.
BackgroundThreads& BackgroundThreads::instance()
{
    static BackgroundThreads threads;
    return threads;
}

std::stop_source BackgroundThreads::start(std::function<void(std::stop_token)> work)
{
    BackgroundThreads& threads = instance();
    std::stop_source stop;
    // Held until the thread is in its place, which it marks when it ends.
    std::lock_guard lock(threads.mutex_);
    const auto place = threads.running_.insert(threads.running_.end(), Running{.stop = stop});
    try {
        place->thread = std::thread([&threads, place, token = stop.get_token(), work = std::move(work)]() mutable {
            work(token);
            work = nullptr; // what it holds goes on this thread, before its end is told
            std::lock_guard ended(threads.mutex_);
            place->ended = true;
            threads.wake_.notify_all();
        });
    } catch (...) {
        threads.running_.erase(place);
        throw;
    }
    return stop;
}

// Joins each thread as its work returns, in whatever order they end, so that
// one that waits long (on a file that is slow to open) holds back no other.
void BackgroundThreads::joinEnded()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto hasEnded = [](const Running& running) { return running.ended; };
        wake_.wait(lock, [&] {
            return (closing_ && running_.empty()) || std::any_of(running_.begin(), running_.end(), hasEnded);
        });
        const auto ended = std::find_if(running_.begin(), running_.end(), hasEnded);
        if (ended == running_.end()) return; // closing, and nothing runs
        std::thread thread = std::move(ended->thread);
        running_.erase(ended);
        lock.unlock();
        thread.join();
        lock.lock();
    }
}

} // namespace zanto
