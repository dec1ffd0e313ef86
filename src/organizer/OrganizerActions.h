#pragma once
// The one command table of the Organizer. Every toolbar button, transport
// button, inspector button, menu entry and key of the window is built from a
// row here, and every press goes through Organizer::perform(), which applies
// the row's busy rule before calling its handler.
//
// Adding a command: give Organizer a parameterless member named after the
// command (guard, build the candidate with an edit, commit), then fill in the
// `handler` of its row below (or add a row: name, title word for word, key,
// busy rule, handler). The control that shows the row is already in the
// window when the row has one; a new control is made with actionButton().
// Add a row {name, edit} to the undo table of the tests for an edit command.
#include <QKeySequence>
#include <QString>


#include <vector>

class QPushButton;

namespace zanto {

class Organizer;

// What a command does while a save or export runs.
enum class OrganizerBusyRule {
    refuse,            // nothing happens, nothing is said
    refuseWithMessage, // nothing happens; the status line says why
    allow,             // runs (playback, layout, cancelling an export)
};

struct OrganizerAction {
    // The command's name, also the objectName of the controls that run it.
    const char* name;
    // The title of its button or menu entry, word for word.
    QString title;
    QKeySequence key;
    OrganizerBusyRule busy = OrganizerBusyRule::refuse;
    // The Organizer member that runs it; none while the command is not built.
    void (Organizer::*handler)() = nullptr;
};

class OrganizerActions {
public:
    static const std::vector<OrganizerAction>& all();
    // The row named `name`, or none.
    static const OrganizerAction* find(const QString& name);
};

// The message of a command refused while busy.
inline const char* const organizerBusyMessage = "保存・書き出しの完了を待ってください。";

// A push button for the row `name`: its title, its objectName, and a click
// that performs it on `organizer`.
QPushButton* actionButton(Organizer& organizer, const char* name);

} // namespace zanto
