#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zanto {

class Organizer;

// The Organizer's window-wide keys: an application event filter that hands
// each key press meant for the Organizer's window to handleOrganizerKey(),
// and consumes the keys it handles. Keys for other windows (dialogs, menus,
// the main window) and keys typed into a text field pass on untouched.
class OrganizerKeyMonitor : public QObject {
public:
    OrganizerKeyMonitor(Organizer& organizer, QWidget& window);
    ~OrganizerKeyMonitor() override;

    // Whether keys typed with `focus` focused belong to the widget itself.
    static bool takesText(const QWidget* focus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Organizer& organizer_;
    QPointer<QWidget> window_;
};

} // namespace zanto
