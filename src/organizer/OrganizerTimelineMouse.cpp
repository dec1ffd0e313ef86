// Editing on the timeline: presses select, body drags move, edge drags trim,
// a secondary press opens the row or item menu, and a few keys.
#include "organizer/OrganizerTimeline.h"

#include "organizer/Organizer.h"
#include "organizer/model/OrganizerEdits.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>

namespace zanto {

namespace {

struct MenuEntry {
    const char* title;
    const char* action;
};

constexpr std::array<MenuEntry, 6> rowMenu{{
    {"Final Cut Pro XMLを書き出す…", "exportRowXML"},
    {"行名を変更", "renameRow"},
    {"行を上へ", "rowUp"},
    {"行を下へ", "rowDown"},
    {"＋ 行", "addRow"},
    {"行を削除", "removeRow"},
}};

constexpr std::array<MenuEntry, 6> itemMenu{{
    {"再生", "playSelection"},
    {"選択をMP4書出", "exportSelection"},
    {"スライドを前に挿入", "insertBefore"},
    {"スライドを後ろに挿入", "insertAfter"},
    {"複製", "duplicate"},
    {"削除", "removeItems"},
}};

// How often the view scrolls on while the pointer rests outside it.
constexpr int autoscrollInterval = 50;

QScrollArea* scrollAreaOf(const QWidget& view)
{
    const QWidget* viewport = view.parentWidget();
    return viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
}

} // namespace

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
    return !(where.row == owner->currentRow() && where.item && owner->table.selectedRowIndexes().count(*where.item));
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
    if (!owner || owner->busy()) return;
    setFocus(Qt::MouseFocusReason);
    const QPointF p = event.position();
    const std::optional<Hit> where = hit(p);
    if (!where) return;
    const bool inCurrentRow = where->item && where->row == owner->currentRow();
    if (inCurrentRow && (event.modifiers() & Qt::ControlModifier)) {
        std::set<int> selection = owner->table.selectedRowIndexes();
        if (!selection.erase(*where->item)) selection.insert(*where->item);
        owner->table.selectRowIndexes(selection, false);
        update();
        return;
    }
    const int anchor = owner->table.selectedRow();
    if (inCurrentRow && (event.modifiers() & Qt::ShiftModifier) && anchor >= 0) {
        std::set<int> range;
        for (int i = std::min(anchor, *where->item); i <= std::max(anchor, *where->item); ++i) range.insert(i);
        owner->table.selectRowIndexes(range, false);
        update();
        return;
    }
    if (selects(*where)) owner->selectTimeline(where->row, where->item);
    if (!where->item) {
        if (clicks == 2) owner->perform("renameRow");
        return;
    }
    if (clicks == 2) {
        owner->perform("playSelection");
        return;
    }
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
    if (!gesture || !owner || owner->busy()) return;
    lastDrag_ = mapToGlobal(p);
    if (gesture->edge == 0) {
        const QPointF moved = p - gesture->origin;
        if (std::abs(moved.x()) + std::abs(moved.y()) < moveThreshold) return;
        autoscroll();
        const int lastRow = static_cast<int>(state_->rows.size()) - 1;
        const int target = static_cast<int>(std::clamp(std::trunc(p.y() / rowHeight), 0.0, double(std::max(0, lastRow))));
        const std::vector<QRectF> blocks = rects(target);
        const auto after = std::find_if(blocks.begin(), blocks.end(),
                                        [&](const QRectF& block) { return block.center().x() > p.x(); });
        drop = Drop{target, static_cast<int>(after - blocks.begin())};
    } else {
        autoscroll();
        const double delta = (p.x() - gesture->origin.x()) / gesture->rect.width() * (gesture->end - gesture->start);
        if (gesture->edge < 0) {
            const double start = std::max(std::min(delta + gesture->start, gesture->end - organizerShortestItem), 0.0);
            trimPreview = std::pair(start, gesture->end);
        } else {
            const double end = std::min(std::max(delta + gesture->end, gesture->start + organizerShortestItem),
                                        organizerLatestEnd);
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
    if (!owner) return;
    if (preview) {
        owner->trimTimelineItem(pressed.row, pressed.item, preview->first, preview->second);
    } else if (dropped) {
        owner->moveTimelineItem(pressed.row, pressed.item, dropped->row, dropped->index);
    }
    update();
}

void OrganizerTimeline::rightPress(const QPointF& point)
{
    if (!owner || owner->busy()) return;
    const std::optional<Hit> where = hit(point);
    if (!where) return;
    if (selects(*where)) owner->selectTimeline(where->row, where->item);
    const auto& entries = where->item ? itemMenu : rowMenu;
    QStringList titles;
    for (const MenuEntry& entry : entries) titles << QString::fromUtf8(entry.title);
    const std::optional<int> chosen = owner->dialogs().menu(titles);
    if (chosen && *chosen >= 0 && *chosen < static_cast<int>(entries.size())) {
        owner->perform(QString::fromLatin1(entries[static_cast<size_t>(*chosen)].action));
    }
}

void OrganizerTimeline::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (owner) owner->perform("renameRow");
        break;
    case Qt::Key_Space:
        if (owner) owner->perform("playSelection");
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
