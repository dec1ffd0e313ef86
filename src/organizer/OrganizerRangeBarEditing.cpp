// Mark in and mark out: the selected open video item's start or end at the
// player's position, committed through the timeline's trim.
#include "organizer/Organizer.h"

#include "organizer/model/OrganizerEdits.h"
#include "platform/media/MediaTime.h"
#include "platform/media/Player.h"

#include <cmath>

namespace zanto {

bool Organizer::selectedVideoIsOpen() const
{
    const std::optional<OrganizerItem> item = selectedItem();
    return item && item->kind == "video" && playing >= 0 && playing < static_cast<int>(queue.size())
        && queue[static_cast<size_t>(playing)].id == item->id;
}

void Organizer::markBoundary(bool start)
{
    const std::optional<OrganizerItem> item = selectedItem();
    if (busy() || !selectedVideoIsOpen()) return;
    const OrganizerSource* source = edits::sourceOf(playlist(), *item);
    const std::optional<double> position = playerSeconds();
    if (!source || !position) return;
    const double t = *position - source->offset;
    if (std::isfinite(t) && t >= 0 && (start ? t < item->end : item->start < t)) {
        trimTimelineItem(currentRow(), table.selectedRow(), start ? t : item->start, start ? item->end : t);
    } else {
        message("区間の内側に再生位置を移動してください。");
    }
}

std::optional<double> Organizer::playerSeconds() const
{
    if (!player_->currentItem()) return std::nullopt;
    return player_->currentTime();
}

void Organizer::seekOpenItem(double seconds)
{
    const std::optional<OrganizerItem> item = selectedItem();
    const OrganizerSource* source = item ? edits::sourceOf(playlist(), *item) : nullptr;
    player_->pause();
    player_->seek(MediaTime::fromSeconds(seconds + (source ? source->offset : 0), 60000));
}

} // namespace zanto
