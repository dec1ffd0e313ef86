// The range bar's mouse: a press near a handle arms a drag of the in or out
// point, which the release commits through the timeline's trim; a press
// elsewhere seeks the player there.
#include "organizer/OrganizerRangeBar.h"

#include "organizer/Organizer.h"
#include "organizer/model/OrganizerEdits.h"

#include <QMouseEvent>

#include <cmath>

namespace zanto {

void OrganizerRangeBar::cancelEdge()
{
    edge = 0;
    setPreview(std::nullopt);
}

void OrganizerRangeBar::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !owner || owner->busy() || !owner->selectedVideoIsOpen()) return;
    const double px = event->position().x();
    // Strictly nearer than the grab distance; the in handle wins a tie.
    if (std::abs(px - x(start())) < grabDistance) {
        edge = -1;
    } else if (std::abs(px - x(end())) < grabDistance) {
        edge = 1;
    } else {
        edge = 0;
        owner->seekOpenItem(time(px));
    }
    setFocus(Qt::MouseFocusReason);
}

void OrganizerRangeBar::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (edge == 0 || !(event->buttons() & Qt::LeftButton)) return;
    const double t = time(event->position().x());
    setPreview(edge < 0 ? std::pair(std::min(end() - organizerShortestItem, t), end())
                        : std::pair(start(), std::max(start() + organizerShortestItem, t)));
}

void OrganizerRangeBar::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    const std::optional<std::pair<double, double>> proposed = preview();
    cancelEdge();
    // The document may have changed since the press: commit only to the
    // item that is still both selected and open.
    if (proposed && owner && owner->selectedVideoIsOpen()) {
        owner->trimTimelineItem(owner->currentRow(), owner->table.selectedRow(), proposed->first, proposed->second);
    }
}

} // namespace zanto
