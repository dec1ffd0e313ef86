#include "organizer/OrganizerTimeline.h"

#include <QCursor>
#include <QMouseEvent>
#include <QScrollArea>

#include <algorithm>
#include <cmath>

namespace zanto {

namespace {

constexpr double blockGap = 3;
constexpr double blockInset = 3; // from the top of the lane
constexpr double blockHeight = 21;
constexpr double minimumBlockWidth = 110;
constexpr double maximumBlockWidth = 520;
constexpr double emptyRowEnd = OrganizerTimeline::labelWidth + 300;
constexpr double cursorEdge = 7;
constexpr double handInset = 8;

// Left and top edges belong to a block, right and bottom edges do not.
bool holds(const QRectF& rect, const QPointF& point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() && point.y() < rect.bottom();
}

} // namespace

OrganizerTimeline::OrganizerTimeline(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

double OrganizerTimeline::itemWidth(const OrganizerItem& item) const
{
    return std::clamp((item.end - item.start) * scale, minimumBlockWidth, maximumBlockWidth);
}

std::vector<QRectF> OrganizerTimeline::rects(int row) const
{
    std::vector<QRectF> result;
    if (!state_ || row < 0 || row >= static_cast<int>(state_->rows.size())) return result;
    const auto& items = state_->rows[static_cast<size_t>(row)].items;
    result.reserve(items.size());
    double x = labelWidth + blockGap;
    const double y = row * rowHeight + blockInset;
    for (const OrganizerItem& item : items) {
        const double width = itemWidth(item);
        result.emplace_back(x, y, width, blockHeight);
        x += width + blockGap;
    }
    return result;
}

double OrganizerTimeline::rightEnd(int row) const
{
    const std::vector<QRectF> blocks = rects(row);
    return blocks.empty() ? emptyRowEnd : blocks.back().right();
}

QSizeF OrganizerTimeline::visibleSize() const
{
    const QWidget* viewport = parentWidget();
    if (viewport && qobject_cast<const QScrollArea*>(viewport->parentWidget())) {
        return viewport->size();
    }
    return {800, 180};
}

QRectF OrganizerTimeline::visibleRect() const
{
    const QWidget* viewport = parentWidget();
    if (viewport && qobject_cast<const QScrollArea*>(viewport->parentWidget())) {
        return QRectF(QPointF(-pos()), QSizeF(viewport->size()));
    }
    return QRectF(rect());
}

void OrganizerTimeline::setState(State state)
{
    state_ = std::move(state);
    refresh();
}

void OrganizerTimeline::refresh()
{
    if (!state_) return;
    const int rowCount = static_cast<int>(state_->rows.size());
    double largest = rowCount == 0 ? 600 : 0;
    for (int row = 0; row < rowCount; ++row) largest = std::max(largest, rightEnd(row));
    const QSizeF visible = visibleSize();
    const double width = std::max(visible.width(), largest + 30);
    const double height = std::max(visible.height(), rowCount * rowHeight);
    resize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
    update();
    invalidateCursorRects();
}

std::optional<OrganizerTimeline::Hit> OrganizerTimeline::hit(const QPointF& point) const
{
    if (!state_) return std::nullopt;
    // The integer part, as the editing code expects: a point less than one
    // lane above the view still counts as the first row while dragging.
    const double lane = std::trunc(point.y() / rowHeight);
    if (!(lane >= 0 && lane < static_cast<double>(state_->rows.size()))) return std::nullopt;
    const int row = static_cast<int>(lane);
    if (point.x() < visibleRect().left() + labelWidth) return Hit{row, std::nullopt};
    const std::vector<QRectF> blocks = rects(row);
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (holds(blocks[i], point)) return Hit{row, static_cast<int>(i)};
    }
    return Hit{row, std::nullopt};
}

Qt::CursorShape OrganizerTimeline::cursorAt(const QPointF& point) const
{
    const std::optional<Hit> where = hit(point);
    if (!where || !where->item) return Qt::ArrowCursor;
    const QRectF block = rects(where->row)[static_cast<size_t>(*where->item)];
    if (point.x() < block.left() + cursorEdge || point.x() >= block.right() - cursorEdge) {
        return Qt::SizeHorCursor;
    }
    if (point.x() >= block.left() + handInset && point.x() < block.right() - handInset) {
        return Qt::OpenHandCursor;
    }
    return Qt::ArrowCursor;
}

void OrganizerTimeline::invalidateCursorRects()
{
    if (!window() || !underMouse()) return;
    setCursor(cursorAt(mapFromGlobal(QCursor::pos())));
}

void OrganizerTimeline::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() == Qt::NoButton) setCursor(cursorAt(event->position()));
    // Moves with the right button down reach here too; only the left one drags.
    if (event->buttons() & Qt::LeftButton) drag(event->position());
    QWidget::mouseMoveEvent(event);
}

QString OrganizerTimeline::blockLabel(int index, const OrganizerItem& item)
{
    QString label = QString::number(index + 1) + " | " + QString::fromStdString(item.name);
    if (item.labels && !item.labels->empty()) {
        QStringList labels;
        for (const std::string& each : *item.labels) labels << QString::fromStdString(each);
        label += " | " + labels.join(" · ");
    }
    if (!item.note.empty()) label += " | " + QString::fromStdString(item.note);
    return label;
}

} // namespace zanto
