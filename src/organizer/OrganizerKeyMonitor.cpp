#include "organizer/OrganizerKeyMonitor.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWindow>

namespace zanto {

OrganizerKeyMonitor::OrganizerKeyMonitor(QWidget& window, std::function<bool(const QKeyEvent&)> handle)
    : handle_(std::move(handle)), window_(&window)
{
    qApp->installEventFilter(this);
}

OrganizerKeyMonitor::~OrganizerKeyMonitor()
{
    qApp->removeEventFilter(this);
}

bool OrganizerKeyMonitor::takesText(const QWidget* focus)
{
    if (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus)
        || qobject_cast<const QPlainTextEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus)) {
        return true;
    }
    const auto* combo = qobject_cast<const QComboBox*>(focus);
    return combo && combo->isEditable();
}

bool OrganizerKeyMonitor::eventFilter(QObject* watched, QEvent* event)
{
    // A press reaches an application filter at the platform window first,
    // then at the focus widget and at each parent it propagates to: taking
    // it at the window alone acts once per key.
    if (event->type() != QEvent::KeyPress || !window_ || watched != window_->windowHandle()) return false;
    // The window hands the key to its focus widget, active or not.
    if (takesText(window_->focusWidget())) return false;
    return handle_(static_cast<const QKeyEvent&>(*event));
}

} // namespace zanto
