#pragma once
// Runs the Organizer's long work (package writes, exports) on a worker
// thread. The work gets its own copy of the document; its progress and its
// result reach the GUI thread in order through queued calls, and none arrives
// once the runner is gone. Destroying the runner cancels the work and waits
// for it. One job at a time; while it runs the runner is `running()`, which is
// the Organizer's `busy`.
//
// Adding a job: build an OrganizerJob (work on the worker, progress and
// finished on the GUI thread) and start it from the command's handler.
#include "playlist/OrganizerDocument.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace zanto {

// What the work sees of its runner; any thread.
class OrganizerJobControl {
public:
    // Posts a fraction from 0 to 1 to the job's `progress`.
    void progress(double fraction) const { report_(fraction); }
    // Posts a fraction and a text for the status line to the job's `status`.
    void status(double fraction, const QString& text) const { reportStatus_(fraction, text); }
    bool cancelled() const { return cancelled_.load(); }

private:
    friend class OrganizerJobs;
    std::function<void(double)> report_;
    std::function<void(double, const QString&)> reportStatus_;
    std::atomic<bool> cancelled_{false};
};

struct OrganizerJob {
    // On the worker thread, with a copy of the document. A thrown exception is
    // the failure; its what() is the message.
    std::function<void(const OrganizerDocument& copy, const OrganizerJobControl& control)> work;
    // On the GUI thread.
    std::function<void(double fraction)> progress;
    // On the GUI thread, after the last progress: the failure's message, or none.
    std::function<void(std::optional<QString> failure)> finished;
    // On the GUI thread, in order with `progress`: a fraction and its text.
    std::function<void(double fraction, const QString& text)> status;
};

class OrganizerJobs : public QObject {
public:
    explicit OrganizerJobs(QObject* parent = nullptr) : QObject(parent) { }
    ~OrganizerJobs() override;

    // Starts `job` on a copy of `document`; false, starting nothing, while
    // another job runs.
    bool start(const OrganizerDocument& document, OrganizerJob job);
    // From start() until the job's `finished` has been called.
    bool running() const { return running_; }
    // On the GUI thread whenever running() changes: as a job starts, and just
    // before its `finished` is called.
    std::function<void(bool running)> runningChanged;
    // Asks the running work to stop; it sees cancelled() and ends as it can.
    void cancel();

private:
    void deliver(std::function<void()> call);
    void join();

    std::thread worker_;
    std::shared_ptr<OrganizerJobControl> control_;
    bool running_ = false;
};

} // namespace zanto
