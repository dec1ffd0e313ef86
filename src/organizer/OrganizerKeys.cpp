// The Organizer's keys: the rows of OrganizerActions with a key, and the
// shuttle and drawing commands only keys reach.
#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"

#include <QKeyEvent>
#include <QTimer>

#include <optional>

#include "platform/media/Player.h"

#include <algorithm>

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
        command = OrganizerActions::withKey(QKeyCombination(Qt::ControlModifier | (modifiers & Qt::ShiftModifier), key));
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

bool Organizer::freezeOnShow() const
{
    return playing >= 0 && playing < static_cast<int>(queue.size())
        && queue[static_cast<size_t>(playing)].kind == "freeze";
}

void Organizer::shuttlePause()
{
    player_->pause();
    if (!freezeOnShow()) return;
    // A paused still waits for drawing.
    stillTimer_->stop();
    freezeStarted.reset();
    preview_->overlay().setEditing(true);
}

// L doubles a forward rate up to 8 and J a backward one down to -8; from a
// pause or from the other direction either starts at normal speed.
void Organizer::shuttle(int direction)
{
    if (freezeOnShow()) {
        if (direction < 0) {
            message("静止画の再生はSpaceまたはLです。");
        } else if (!stillRunning()) {
            togglePlayback();
        }
        return;
    }
    preview_->overlay().setEditing(false);
    if (!player_->currentItem()) {
        if (direction > 0) playSelection();
        return;
    }
    const double rate = player_->rate();
    player_->setRate(rate * direction > 0 ? std::clamp(rate * 2, -8.0, 8.0) : double(direction));
}

} // namespace zanto
