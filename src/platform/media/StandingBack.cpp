#include "platform/media/StandingBack.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <system_error>
#include <thread>

namespace zanto::media {

void startStandingBack(int steps, const std::function<void()>& start)
{
    if (steps <= 0) return start();
    std::exception_ptr error;
    std::thread starter;
    try {
        starter = std::thread([&] {
            errno = 0;
            const int now = getpriority(PRIO_PROCESS, id_t(gettid()));
            if (errno == 0) setpriority(PRIO_PROCESS, id_t(gettid()), std::min(19, now + steps));
            try {
                start();
            } catch (...) {
                error = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No thread to start them from: they run at the caller's priority.
        return start();
    }
    starter.join();
    if (error) std::rethrow_exception(error);
}

} // namespace zanto::media
