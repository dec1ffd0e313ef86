// The Organizer's keys: the rows of OrganizerActions with a key, and the
// shuttle and drawing commands only keys reach.
#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"

#include <QKeyEvent>
#include <optional>

namespace zanto {

void Organizer::selectAllItems()
{
    std::set<int> all;
    for (int i = 0; i < numberOfRows(); ++i) all.insert(i);
    table.selectRowIndexes(all, false);
}

void Organizer::drawingOff()
{
    preview_->overlay().setEditing(false);
    preview_->overlay().resetSelection();
}

bool Organizer::handleOrganizerKey(const QKeyEvent& event)
{
    if (busy()) return false;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const auto key = Qt::Key(event.key());
    std::optional<OrganizerCommand> command;
    if (modifiers & Qt::ControlModifier) {
        // Alt and Meta are not looked at here. Shift selects the Shift row
        // when there is one (redo, export of the open item) and is ignored
        // otherwise (save, select all).
        command =
            OrganizerActions::withKey(QKeyCombination(Qt::ControlModifier | (modifiers & Qt::ShiftModifier), key));
        if (!command) command = OrganizerActions::withKey(QKeyCombination(Qt::ControlModifier, key));
    } else if (!(modifiers & (Qt::AltModifier | Qt::MetaModifier))) {
        // Shift, Caps Lock (never a modifier here) and the keypad flag leave a
        // key as it is; letters are matched by key, not by text ("\x1a" for Ctrl+Z).
        command = OrganizerActions::withKey(key);
    }
    if (!command) return false;
    perform(*command);
    return true;
}

void Organizer::shuttlePause()
{
    playback_->pause();
}

void Organizer::shuttle(int direction)
{
    // L with nothing open plays the table's selection, as Space does.
    if (!playback_->shuttle(direction) && direction > 0) playSelection();
}

} // namespace zanto
