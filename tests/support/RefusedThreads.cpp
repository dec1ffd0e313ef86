#include "support/RefusedThreads.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

std::atomic<int> refused{0};
std::atomic<int> starts{0};
std::atomic<int> running{0};

using ThreadRoutine = void* (*)(void*);

// Every std::thread runs the C++ library's own routine first.
bool startedByStdThread(ThreadRoutine routine)
{
    Dl_info info{};
    return dladdr(reinterpret_cast<void*>(routine), &info) != 0 && info.dli_fname
           && std::strstr(info.dli_fname, "libstdc++");
}

struct Start {
    ThreadRoutine routine;
    void* arg;
};

void* runCounted(void* raw)
{
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    void* result = start.routine(start.arg);
    --running;
    return result;
}

} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, ThreadRoutine routine, void* arg) noexcept
{
    using Create = int (*)(pthread_t*, const pthread_attr_t*, ThreadRoutine, void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!startedByStdThread(routine)) return real(thread, attr, routine, arg);
    if (++starts == refused) return EAGAIN;
    ++running;
    auto* start = new Start{routine, arg};
    const int result = real(thread, attr, runCounted, start);
    if (result != 0) {
        --running;
        delete start;
    }
    return result;
}

namespace zanto::test {

void refuseThreadStart(int nth)
{
    starts = 0;
    refused = nth;
}

int threadStarts()
{
    return starts;
}

int runningThreads()
{
    return running;
}

} // namespace zanto::test
