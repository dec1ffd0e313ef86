#pragma once
// One running application per user data folder. Two processes would each
// rewrite the same recovery file, so the first one holds an exclusive flock on
// the recovery folder for its whole run and listens on a local socket; a later
// launch finds the lock taken, hands its command-line path (or nothing) to the
// first one and ends without touching the recovery file. Paths travel as the
// file system's own bytes, whatever their encoding.
// Widget-free; GUI thread only (the listener runs on its event loop).
#include <QLocalServer>
#include <QString>

#include <filesystem>
#include <functional>

namespace zanto {

class SingleInstance {
public:
    // `folder` is the recovery folder (by default the one the Organizer uses).
    explicit SingleInstance(QString folder = defaultFolder());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    static QString defaultFolder();

    // Takes the lock; false when another process holds it. A folder that
    // cannot be made or locked at all is reported on stderr and counts as
    // taken by nobody, so the application still runs.
    bool claim();

    // After a successful claim: calls `received` with each later launch's
    // path (absolute, or empty for none), on the GUI thread; what it returns
    // (whether the path was opened) is that launch's answer.
    void listen(std::function<bool(const std::filesystem::path&)> received);

    // After a failed claim: gives `path` to the running instance and waits
    // for its answer as long as it keeps the connection. True once it opened
    // the path; otherwise false with a message on stderr.
    bool handOver(const std::filesystem::path& path) const;

private:
    QString socketName() const;

    QString folder_;
    int lock_ = -1;
    QLocalServer server_;
};

} // namespace zanto
