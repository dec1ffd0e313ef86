#pragma once
// The Organizer's alert, built by hand because the platform's message boxes
// place buttons by role. The first button is the default (Return) and stands
// rightmost; the later ones stand to its left in order. Escape presses
// "キャンセル" when there is one; an alert with a single button takes Escape
// as that button (it only acknowledges); otherwise Escape and the window's
// close button do nothing, so no action is taken by accident.
// App-modal, parented to `parent`; GUI thread only.
#include <QString>
#include <QStringList>

class QWidget;

namespace zanto {

// The index of the button pressed; -1 only when the dialog ended without a
// button (its parent went away) and no button stands for cancel.
int runOrganizerAlert(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons);

// The same alert with `accessory` (owned by the alert from now on) between the
// texts and the buttons; it takes the focus.
int runOrganizerAlert(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons,
                      QWidget* accessory);

} // namespace zanto
