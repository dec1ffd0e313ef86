// The Organizer's key table: transport keys and a few Ctrl shortcuts.
#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"

#include <QKeyEvent>

namespace zanto {

namespace {

// The command table's row with `key` in its key column, or none.
const OrganizerAction* actionWithKey(const QKeySequence& key)
{
    for (const OrganizerAction& action : OrganizerActions::all()) {
        if (!action.key.isEmpty() && action.key == key) return &action;
    }
    return nullptr;
}

} // namespace

void Organizer::selectAllItems()
{
    std::set<int> all;
    for (int i = 0; i < numberOfRows(); ++i) all.insert(i);
    table.selectRowIndexes(all, false);
}

// The Ctrl keys of the command table; Alt and Meta are not looked at here.
// Shift selects the Shift row when there is one (redo, export of the open
// item) and is ignored otherwise (save, select all).
bool Organizer::handleControlKey(int key, bool shift)
{
    const auto chord = [key](Qt::KeyboardModifiers modifiers) {
        return QKeySequence(QKeyCombination(modifiers, Qt::Key(key)));
    };
    const OrganizerAction* action = actionWithKey(chord(Qt::ControlModifier | (shift ? Qt::ShiftModifier : Qt::NoModifier)));
    if (!action && shift) action = actionWithKey(chord(Qt::ControlModifier));
    if (!action) return false;
    perform(QString::fromLatin1(action->name));
    return true;
}

bool Organizer::handleOrganizerKey(const QKeyEvent& event)
{
    if (busy()) return false;
    // Shift, Caps Lock (never a modifier here) and the keypad flag leave a
    // key as it is; letters are matched by key, not by text ("\x1a" for Ctrl+Z).
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ControlModifier) {
        return handleControlKey(event.key(), modifiers & Qt::ShiftModifier);
    }
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return false;
    switch (event.key()) {
    case Qt::Key_Escape:
        preview_->overlay().setEditing(false);
        preview_->overlay().resetSelection();
        return true;
    case Qt::Key_Space:
        perform("togglePlayback");
        return true;
    case Qt::Key_K:
        shuttlePause();
        return true;
    case Qt::Key_L:
        shuttle(1);
        return true;
    case Qt::Key_J:
        shuttle(-1);
        return true;
    case Qt::Key_Left:
        selectNeighbor(-1);
        return true;
    case Qt::Key_Right:
        selectNeighbor(1);
        return true;
    default:
        break;
    }
    // Plain keys of the command table: I and O.
    const OrganizerAction* action = actionWithKey(QKeySequence(event.key()));
    if (!action) return false;
    perform(QString::fromLatin1(action->name));
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
