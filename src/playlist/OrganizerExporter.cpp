#include "playlist/OrganizerExporter.h"

#include "services/ExportFailure.h"

namespace zanto {

void OrganizerExporter::cancel()
{
    std::function<void()> cancelSession;
    {
        std::lock_guard guard(lock_);
        stopped_ = true;
        cancelSession = sessionCancel_;
    }
    // Outside the lock: the session may call back into us (progress) while it stops.
    if (cancelSession) cancelSession();
}

void OrganizerExporter::check() const
{
    std::lock_guard guard(lock_);
    if (stopped_) throw failure("書き出しを中止しました。");
}

bool OrganizerExporter::setSessionCancel(std::function<void()> cancelSession)
{
    std::lock_guard guard(lock_);
    // Storing first and testing the flag in the same section means no cancel is
    // lost: an earlier cancel is seen here, a later one finds the session.
    if (stopped_ && cancelSession) return false;
    sessionCancel_ = std::move(cancelSession);
    return true;
}

} // namespace zanto
