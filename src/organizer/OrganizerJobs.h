#pragma once
// Runs the Organizer's long work (package writes, exports) on a worker
// thread. The work gets its own copy of the document; its progress and its
// result reach the GUI thread in order through queued calls, and none arrives
// once the runner is gone. Destroying the runner cancels the work and waits
// for it. One job at a time; while it runs the runner is `running()`, which is
// the Organizer's `busy`.
//
// Adding a job: build an OrganizerJob (work on the worker; status, finished
// and cancel on the GUI thread) and start it from the command's handler.
#include "playlist/OrganizerDocument.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace zanto {

// What the work sees of its runner; any thread.
class OrganizerJobControl {
public:
    // Posts a fraction from 0 to 1 and a text for the status line to the
    // job's `status`.
    void status(double fraction, const QString& text) const { reportStatus_(fraction, text); }

private:
    friend class OrganizerJobs;
    std::function<void(double, const QString&)> reportStatus_;
};

struct OrganizerJob {
    // The file the work writes, as the user chose it: named when the system
    // gives the job no thread to run on.
    std::filesystem::path file;
    // On the worker thread, with a copy of the document. A thrown exception is
    // the failure; its what() is the message.
    std::function<void(const OrganizerDocument& copy, const OrganizerJobControl& control)> work;
    // On the GUI thread, after the last status: the failure's message, or none.
    std::function<void(std::optional<QString> failure)> finished;
    // On the GUI thread, in the order the work posted them: a fraction and its text.
    std::function<void(double fraction, const QString& text)> status;
    // On the GUI thread while the work runs: asks it to stop (the work then
    // ends as it can, its failure telling why). Unset: the work runs to its end.
    std::function<void()> cancel;
};

class OrganizerJobs : public QObject {
public:
    explicit OrganizerJobs(QObject* parent = nullptr) : QObject(parent) { }
    ~OrganizerJobs() override;

    // Starts `job` on a copy of `document`; false, starting nothing, while
    // another job runs. When the system refuses the worker thread the job is
    // started all the same and ends at once, as a failed one does, through
    // its `finished`: the file that cannot be saved and the system's reason.
    bool start(const OrganizerDocument& document, OrganizerJob job);
    // From start() until the job's `finished` has been called.
    bool running() const { return running_; }
    // On the GUI thread whenever running() changes: as a job starts, and just
    // before its `finished` is called.
    std::function<void(bool running)> runningChanged;
    // Asks the running work to stop through its job's `cancel`; nothing when idle.
    void cancel();

private:
    using Finished = std::function<void(std::optional<QString> failure)>;
    void finish(Finished finished, std::optional<QString> failure);
    void deliver(std::function<void()> call);
    void join();

    std::thread worker_;
    std::shared_ptr<OrganizerJobControl> control_;
    // The running job's `cancel`; empty when idle.
    std::function<void()> cancel_;
    bool running_ = false;
};

} // namespace zanto
