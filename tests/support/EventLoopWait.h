#pragma once
// Waiting on the GUI thread for something that arrives through the event loop
// (a queued completion, a player's frame, a worker's result).
#include <QCoreApplication>
#include <QElapsedTimer>

namespace zanto::test {

// Runs the event loop until `done` holds or `ms` pass; whether it held.
template <typename Predicate>
bool waitFor(Predicate done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

} // namespace zanto::test
