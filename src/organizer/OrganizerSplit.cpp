#include "organizer/OrganizerSplit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace zanto {

namespace {

constexpr double minimumFirstSideBySide = 380;
constexpr double minimumSecondSideBySide = 290;
constexpr double minimumStacked = 150;
constexpr int hitMargin = 2;

// Lies over the divider grown by the hit margin and takes its presses. Its
// one child covers the divider itself and carries the resize cursor; that
// child takes no events of its own, so they reach the handle.
class DividerHandle : public QWidget {
public:
    explicit DividerHandle(OrganizerSplit* split) : QWidget(split), split_(split) { zone_ = new QWidget(this); }

    void place(const QRectF& divider, bool sideBySide)
    {
        setGeometry(divider.adjusted(-hitMargin, -hitMargin, hitMargin, hitMargin).toAlignedRect());
        zone_->setGeometry(QRect(hitMargin, hitMargin, qRound(divider.width()), qRound(divider.height())));
        zone_->setCursor(sideBySide ? Qt::SplitHCursor : Qt::SplitVCursor);
        raise();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        split_->beginDrag();
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        split_->dragTo(mapToParent(event->position()));
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        split_->endDrag();
        event->accept();
    }

private:
    OrganizerSplit* split_;
    QWidget* zone_;
};

} // namespace

OrganizerSplit::OrganizerSplit(QWidget* parent) : QWidget(parent)
{
    handle_ = new DividerHandle(this);
    handle_->hide();
}

void OrganizerSplit::addArrangedSubview(QWidget* view)
{
    view->setParent(this);
    view->show();
    layoutPanes();
}

void OrganizerSplit::setAutosaveName(const QString& name)
{
    autosaveName_ = name;
    QSettings settings;
    const QVariant saved = settings.value(name);
    bool isNumber = false;
    const double value = saved.toDouble(&isNumber);
    // toDouble() takes "nan" and "inf" as numbers; a ratio must be finite.
    if (saved.isValid() && isNumber && std::isfinite(value)) ratio_ = std::clamp(value, 0.2, 0.85);
}

void OrganizerSplit::setCollapsed(bool collapsed)
{
    collapsed_ = collapsed;
    layoutPanes();
    // The divider's pixels go or come back with it, whatever else repaints.
    update();
}

double OrganizerSplit::length() const
{
    return isVertical ? width() : height();
}

double OrganizerSplit::dividerPosition() const
{
    const double minFirst = isVertical ? minimumFirstSideBySide : minimumStacked;
    const double minSecond = isVertical ? minimumSecondSideBySide : minimumStacked;
    const double l = length();
    return std::max(minFirst, std::min(l - minSecond - dividerThickness, l * ratio_));
}

QRectF OrganizerSplit::dividerRect() const
{
    const double p = dividerPosition();
    if (isVertical) return {p, 0, double(dividerThickness), double(height())};
    return {0, p, double(width()), double(dividerThickness)};
}

void OrganizerSplit::setPosition(double position, int /*dividerIndex*/)
{
    const double l = length();
    if (l <= 0) return;
    ratio_ = std::clamp(position / l, 0.15, 0.85);
    layoutPanes();
    update();
}

void OrganizerSplit::beginDrag()
{
    dragging_ = true;
}

void OrganizerSplit::dragTo(const QPointF& point)
{
    if (dragging_) setPosition(isVertical ? point.x() : point.y(), 0);
}

void OrganizerSplit::endDrag()
{
    dragging_ = false;
    if (autosaveName_) QSettings().setValue(*autosaveName_, ratio_);
}

void OrganizerSplit::layoutPanes()
{
    QList<QWidget*> panes = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    panes.removeOne(handle_);
    if (panes.size() != 2) return;
    if (collapsed_) {
        panes[0]->setGeometry(rect());
        panes[1]->hide();
        handle_->hide();
        return;
    }
    panes[1]->show();
    static_cast<DividerHandle*>(handle_)->place(dividerRect(), isVertical);
    handle_->show();
    const int p = static_cast<int>(dividerPosition());
    const int w = width();
    const int h = height();
    const int t = dividerThickness;
    if (isVertical) {
        panes[0]->setGeometry(0, 0, p, h);
        panes[1]->setGeometry(p + t, 0, std::max(0, w - p - t), h);
    } else {
        panes[0]->setGeometry(0, 0, w, p);
        panes[1]->setGeometry(0, p + t, w, std::max(0, h - p - t));
    }
}

void OrganizerSplit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanes();
}

void OrganizerSplit::paintEvent(QPaintEvent*)
{
    // The first pane may not paint all of itself; nothing of the divider may
    // show through it.
    if (collapsed_) return;
    QPainter painter(this);
    const QRectF divider = dividerRect();
    painter.fillRect(divider, QColor::fromRgbF(0.23f, 0.23f, 0.23f));
    const QRectF grip = isVertical ? QRectF(divider.left() + 2, divider.center().y() - 20, 3, 40)
                                   : QRectF(divider.center().x() - 20, divider.top() + 2, 40, 3);
    QPainterPath path;
    path.addRoundedRect(grip, 1.5, 1.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, QColor(Qt::lightGray));
}

} // namespace zanto
