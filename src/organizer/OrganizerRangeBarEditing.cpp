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
    const OrganizerItem* onShow = playback_->itemOnShow();
    return item && item->kind == "video" && onShow && onShow->id == item->id;
}

void Organizer::markBoundary(bool start)
{
    const std::optional<OrganizerItem> item = selectedItem();
    if (busy() || !selectedVideoIsOpen()) return;
    const OrganizerSource* source = playlist().source(item->sourceID);
    const std::optional<double> position = playerSeconds();
    if (!source || !position) return;
    const double t = *position - source->offset;
    if (std::isfinite(t) && t >= 0 && (start ? t < item->end : item->start < t)) {
        trimItem(item->id, start ? t : item->start, start ? item->end : t);
    } else {
        message("区間の内側に再生位置を移動してください。");
    }
}

std::optional<double> Organizer::playerSeconds() const
{
    if (!player()->currentItem()) return std::nullopt;
    return player()->currentTime();
}

void Organizer::seekOpenItem(double seconds)
{
    const std::optional<OrganizerItem> item = selectedItem();
    const OrganizerSource* source = item ? playlist().source(item->sourceID) : nullptr;
    player()->pause();
    player()->seek(MediaTime::fromSeconds(seconds + (source ? source->offset : 0), 60000));
}

} // namespace zanto
