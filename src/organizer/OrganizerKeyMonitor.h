#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;

namespace zanto {

// The Organizer's window-wide keys: an application event filter that hands
// each key press meant for the Organizer's window to `handle`, and consumes
// the keys it handles (those it returns true for). Keys for other windows (dialogs, menus,
// the main window) and keys typed into a text field pass on untouched.
class OrganizerKeyMonitor : public QObject {
public:
    OrganizerKeyMonitor(QWidget& window, std::function<bool(const QKeyEvent&)> handle);
    ~OrganizerKeyMonitor() override;

    // Whether keys typed with `focus` focused belong to the widget itself.
    static bool takesText(const QWidget* focus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(const QKeyEvent&)> handle_;
    QPointer<QWidget> window_;
};

} // namespace zanto
