// The Organizer's key table: transport keys and a few Ctrl shortcuts.
#include "organizer/Organizer.h"

#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"

#include <QKeyEvent>

namespace zanto {

namespace {

// The Ctrl table; Alt and Meta are not looked at here.
bool handleControlKey(Organizer& organizer, int key, bool shift)
{
    switch (key) {
    case Qt::Key_E:
        if (!shift) return false;
        organizer.perform("exportCurrentVideo");
        return true;
    case Qt::Key_Z:
        shift ? organizer.redoOrganizer() : organizer.undoOrganizer();
        return true;
    case Qt::Key_S:
        organizer.perform("saveDocument");
        return true;
    case Qt::Key_A: {
        std::set<int> all;
        for (int i = 0; i < organizer.numberOfRows(); ++i) all.insert(i);
        organizer.table.selectRowIndexes(all, false);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

bool Organizer::handleOrganizerKey(const QKeyEvent& event)
{
    if (busy()) return false;
    // Shift, Caps Lock (never a modifier here) and the keypad flag leave a
    // key as it is; letters are matched by key, not by text ("\x1a" for Ctrl+Z).
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ControlModifier) {
        return handleControlKey(*this, event.key(), modifiers & Qt::ShiftModifier);
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
    case Qt::Key_I:
        markIn();
        return true;
    case Qt::Key_O:
        markOut();
        return true;
    case Qt::Key_Left:
        perform("previousClip");
        return true;
    case Qt::Key_Right:
        perform("nextClip");
        return true;
    default:
        return false;
    }
}

} // namespace zanto
