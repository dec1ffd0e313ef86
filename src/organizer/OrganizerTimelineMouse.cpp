// Editing on the timeline: presses select, body drags move, edge drags trim,
// a secondary press opens the row or item menu, and a few keys. The view
// keeps the gesture under way; what it ends in is reported through
// `gestures`.
#include "organizer/OrganizerTimeline.h"

#include "organizer/model/OrganizerEdits.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace zanto {

namespace {

// How often the view scrolls on while the pointer rests outside it.
constexpr int autoscrollInterval = 50;

QScrollArea* scrollAreaOf(const QWidget& view)
{
    const QWidget* viewport = view.parentWidget();
    return viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
}

// Calls `report` when someone listens.
template <typename Report, typename... Arguments>
void tell(const Report& report, Arguments&&... arguments)
{
    if (report) report(std::forward<Arguments>(arguments)...);
}

} // namespace

void OrganizerTimeline::setBusy(bool busy)
{
    busy_ = busy;
}

void OrganizerTimeline::cancelGesture()
{
    gesture.reset();
    drop.reset();
    trimPreview.reset();
    if (autoscrollTimer_) autoscrollTimer_->stop();
    update();
}

// A press on a block that the table already selects in the current row keeps
// the selection, so that the whole selection can be dragged.
bool OrganizerTimeline::selects(const Hit& where) const
{
    return !(state_ && where.row == state_->currentRow && where.item && state_->selection.count(*where.item));
}

void OrganizerTimeline::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) press(*event, 1);
    if (event->button() == Qt::RightButton) rightPress(event->position());
    event->accept();
}

void OrganizerTimeline::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) press(*event, 2);
    event->accept();
}

void OrganizerTimeline::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) release();
    event->accept();
}

void OrganizerTimeline::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu opens from the secondary press itself.
    event->accept();
}

void OrganizerTimeline::press(const QMouseEvent& event, int clicks)
{
    if (busy_) return;
    setFocus(Qt::MouseFocusReason);
    const QPointF p = event.position();
    const std::optional<Hit> where = hit(p);
    if (!where) return;
    const bool inCurrentRow = where->item && where->row == state_->currentRow;
    if (inCurrentRow && (event.modifiers() & Qt::ControlModifier)) {
        std::set<int> selection = state_->selection;
        if (!selection.erase(*where->item)) selection.insert(*where->item);
        tell(gestures.selectItems, selection);
        update();
        return;
    }
    const int anchor = state_->selectedRow;
    if (inCurrentRow && (event.modifiers() & Qt::ShiftModifier) && anchor >= 0) {
        std::set<int> range;
        for (int i = std::min(anchor, *where->item); i <= std::max(anchor, *where->item); ++i) range.insert(i);
        tell(gestures.selectItems, range);
        update();
        return;
    }
    if (selects(*where)) tell(gestures.select, where->row, where->item);
    if (clicks == 2) {
        // On a label or an empty lane the row is renamed; on a block the selection plays.
        tell(gestures.command, where->item ? OrganizerCommand::playSelection : OrganizerCommand::renameRow);
        return;
    }
    if (!where->item) return;
    const std::vector<QRectF> blocks = rects(where->row);
    if (*where->item >= static_cast<int>(blocks.size())) return;
    const QRectF block = blocks[static_cast<size_t>(*where->item)];
    const OrganizerItem& item = state_->rows[static_cast<size_t>(where->row)].items[static_cast<size_t>(*where->item)];
    const int edge = p.x() < block.left() + pressEdge ? -1 : (p.x() > block.right() - pressEdge ? 1 : 0);
    gesture = Gesture{where->row, *where->item, p, block, item.start, item.end, edge};
    drop.reset();
    trimPreview.reset();
}

void OrganizerTimeline::drag(const QPointF& p)
{
    if (!gesture || busy_) return;
    lastDrag_ = mapToGlobal(p);
    if (gesture->edge == 0) {
        const QPointF moved = p - gesture->origin;
        if (std::abs(moved.x()) + std::abs(moved.y()) < moveThreshold) return;
        autoscroll();
        const int lastRow = static_cast<int>(state_->rows.size()) - 1;
        const int target =
            static_cast<int>(std::clamp(std::trunc(p.y() / rowHeight), 0.0, double(std::max(0, lastRow))));
        const std::vector<QRectF> blocks = rects(target);
        const auto after =
            std::find_if(blocks.begin(), blocks.end(), [&](const QRectF& block) { return block.center().x() > p.x(); });
        drop = Drop{target, static_cast<int>(after - blocks.begin())};
    } else {
        autoscroll();
        const double delta = (p.x() - gesture->origin.x()) / gesture->rect.width() * (gesture->end - gesture->start);
        if (gesture->edge < 0) {
            const double start = std::max(std::min(delta + gesture->start, gesture->end - organizerShortestItem), 0.0);
            trimPreview = std::pair(start, gesture->end);
        } else {
            const double end =
                std::min(std::max(delta + gesture->end, gesture->start + organizerShortestItem), organizerLatestEnd);
            trimPreview = std::pair(gesture->start, end);
        }
    }
    update();
}

// Scrolls towards the pointer, and keeps scrolling while it rests outside.
void OrganizerTimeline::autoscroll()
{
    QScrollArea* scroll = scrollAreaOf(*this);
    if (!scroll) return;
    const QPointF p = mapFromGlobal(lastDrag_);
    scroll->ensureVisible(static_cast<int>(p.x()), static_cast<int>(p.y()), 0, 0);
    const bool outside = !scroll->viewport()->rect().contains(scroll->viewport()->mapFromGlobal(lastDrag_).toPoint());
    if (!autoscrollTimer_) {
        autoscrollTimer_ = new QTimer(this);
        autoscrollTimer_->setInterval(autoscrollInterval);
        QObject::connect(autoscrollTimer_, &QTimer::timeout, this, [this] { drag(mapFromGlobal(lastDrag_)); });
    }
    if (outside && !autoscrollTimer_->isActive()) autoscrollTimer_->start();
    if (!outside) autoscrollTimer_->stop();
}

void OrganizerTimeline::release()
{
    if (!gesture) return;
    const Gesture pressed = *gesture;
    const std::optional<Drop> dropped = drop;
    const std::optional<std::pair<double, double>> preview = trimPreview;
    cancelGesture();
    if (preview) {
        tell(gestures.trim, pressed.row, pressed.item, preview->first, preview->second);
    } else if (dropped) {
        tell(gestures.move, pressed.row, pressed.item, *dropped);
    }
    update();
}

void OrganizerTimeline::rightPress(const QPointF& point)
{
    if (busy_) return;
    const std::optional<Hit> where = hit(point);
    if (!where) return;
    if (selects(*where)) tell(gestures.select, where->row, where->item);
    tell(gestures.openMenu, where->item ? OrganizerMenu::timelineItem : OrganizerMenu::timelineRow);
}

void OrganizerTimeline::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        tell(gestures.command, OrganizerCommand::renameRow);
        break;
    case Qt::Key_Space:
        tell(gestures.command, OrganizerCommand::playSelection);
        break;
    case Qt::Key_Escape:
        cancelGesture();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace zanto
