// The range bar's mouse: a press near a handle arms a drag of the in or out
// point, which the release reports as a trim; a press elsewhere reports a seek.
#include "organizer/OrganizerRangeBar.h"

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
    if (event->button() != Qt::LeftButton || !gestures.editable || !gestures.editable()) return;
    const double px = event->position().x();
    // Strictly nearer than the grab distance; the in handle wins a tie.
    if (std::abs(px - x(start())) < grabDistance) {
        edge = -1;
    } else if (std::abs(px - x(end())) < grabDistance) {
        edge = 1;
    } else {
        edge = 0;
        if (gestures.seek) gestures.seek(time(px));
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
    // The document may have changed since the press: report only while the
    // item is still both selected and open.
    if (proposed && gestures.editable && gestures.editable() && gestures.trim) {
        gestures.trim(proposed->first, proposed->second);
    }
}

} // namespace zanto
