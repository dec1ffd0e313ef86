#include "organizer/OrganizerJobs.h"

#include "platform/UserFileError.h"

#include <QMetaObject>
#include <QPointer>

#include <sys/resource.h>
#include <unistd.h>

#include <system_error>

namespace zanto {

OrganizerJobs::~OrganizerJobs()
{
    cancel();
    join();
}

bool OrganizerJobs::start(const OrganizerDocument& document, OrganizerJob job)
{
    if (running_) return false;
    join();
    running_ = true;
    control_ = std::make_shared<OrganizerJobControl>();
    cancel_ = std::move(job.cancel);
    auto status = std::make_shared<std::function<void(double, const QString&)>>(std::move(job.status));
    control_->reportStatus_ = [this, status](double fraction, const QString& text) {
        deliver([status, fraction, text] {
            if (*status) (*status)(fraction, text);
        });
    };
    try {
        worker_ = std::thread([this, copy = document, work = std::move(job.work), finished = job.finished,
                               control = control_]() mutable {
            // The GUI thread comes first: the work and every thread it starts
            // (encoders, decoders) run a few nice steps lower, as
            // user-initiated work below the interactive thread. Best effort.
            const int tid = static_cast<int>(gettid());
            setpriority(PRIO_PROCESS, static_cast<id_t>(tid), getpriority(PRIO_PROCESS, static_cast<id_t>(tid)) + 5);
            std::optional<QString> failure;
            try {
                work(copy, *control);
            } catch (const std::exception& error) {
                failure = QString::fromUtf8(error.what());
            } catch (...) {
                failure = QString("不明なエラー");
            }
            finish(std::move(finished), failure);
        });
    } catch (const std::system_error& error) {
        // The system gave no thread (the process is at its limit of threads
        // or memory) and nothing was written. The job ends as a failed one
        // does, queued like any end, so that its sentence comes after what
        // the command shows as it starts.
        finish(std::move(job.finished),
               QString::fromUtf8(UserFileError(error.code(), job.file, FileAction::Save).what()));
    }
    if (runningChanged) runningChanged(true);
    return true;
}

void OrganizerJobs::cancel()
{
    if (running_ && cancel_) cancel_();
}

// Ends the job on the GUI thread, after whatever it posted before.
void OrganizerJobs::finish(Finished finished, std::optional<QString> failure)
{
    deliver([this, finished = std::move(finished), failure = std::move(failure)] {
        running_ = false;
        cancel_ = nullptr;
        if (runningChanged) runningChanged(false);
        if (finished) finished(failure);
    });
}

void OrganizerJobs::deliver(std::function<void()> call)
{
    // Queued calls run in the order they were posted; one that arrives after
    // the runner has gone is dropped.
    QPointer<OrganizerJobs> guard(this);
    QMetaObject::invokeMethod(
        this,
        [guard, call = std::move(call)] {
            if (guard) call();
        },
        Qt::QueuedConnection);
}

void OrganizerJobs::join()
{
    if (worker_.joinable()) worker_.join();
}

} // namespace zanto
