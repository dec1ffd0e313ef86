#pragma once
// The one command table of the Organizer. Every toolbar button, transport
// button, inspector control, material button, menu entry and key of the
// window is built from a row here, and every press goes through
// Organizer::perform(), which applies the row's busy rule before calling its
// handler with the row's parameter.
//
// Adding a command: add its name to OrganizerCommand, give Organizer a member
// that runs it (guard, build the candidate with an edit, commit) and add its
// row in OrganizerActions.cpp; the table does not compile while a command has
// no row, two rows or no handler. A new button is made with actionButton(), a
// new menu entry is a line of the menu's list there. Add a row to the undo
// table of the tests for a command that changes the document.
#include "organizer/OrganizerCommand.h"

#include <QKeySequence>
#include <QString>

#include <optional>
#include <span>

class QAbstractButton;
class QPushButton;
class QWidget;

namespace zanto {

class Organizer;

// What a command does while a save or export runs.
enum class OrganizerBusyRule {
    refuse,            // nothing happens, nothing is said
    refuseWithMessage, // nothing happens; the status line says why
    allow,             // runs (playback, layout, cancelling an export, its own rule)
};

struct OrganizerAction {
    using Handler = void (*)(Organizer& organizer, int parameter);

    OrganizerCommand command;
    // The objectName of the controls that run it.
    const char* name;
    // The title of its button, or of its menu entry when it has none, word for word.
    const char* title = "";
    // Its title in the layout menu and the timeline's menus when they name it otherwise.
    const char* entryTitle = nullptr;
    // Its key in the window; Qt::Key_unknown for none.
    QKeyCombination key = Qt::Key_unknown;
    OrganizerBusyRule busy = OrganizerBusyRule::refuse;
    Handler handler = nullptr;
    // What the handler is given: a material index, a direction, a step, a flag.
    int parameter = 0;
};

class OrganizerActions {
public:
    static const OrganizerAction& row(OrganizerCommand command);
    // Every row, in the order of OrganizerCommand.
    static std::span<const OrganizerAction> all();
    // The command whose key is exactly `key`, or none.
    static std::optional<OrganizerCommand> withKey(QKeyCombination key);
    // The entries of `menu`, in order.
    static std::span<const OrganizerCommand> menu(OrganizerMenu menu);
    // The title of `command` as an entry of `menu`.
    static QString title(OrganizerMenu menu, OrganizerCommand command);
};

// The message of a command refused while busy.
inline const char* const organizerBusyMessage = "保存・書き出しの完了を待ってください。";

// The dynamic property that names the command of a control built from a row.
inline const char* const organizerCommandProperty = "organizerCommand";

// Marks `control` as a control that runs `command`.
void tagControl(QWidget& control, OrganizerCommand command);
// A push button for `command`: its title, its objectName, and a click that
// performs it on `organizer`.
QPushButton* actionButton(Organizer& organizer, OrganizerCommand command);
// Gives `button` the row's objectName and makes a click on it perform
// `command` on `organizer`.
void connectButton(QAbstractButton& button, Organizer& organizer, OrganizerCommand command);

} // namespace zanto
