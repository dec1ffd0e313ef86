#include "organizer/OrganizerSplit.h"

#include <QPainter>
#include <QPainterPath>
#include <QSettings>

#include <algorithm>

namespace zanto {

namespace {

constexpr double minimumFirstSideBySide = 380;
constexpr double minimumSecondSideBySide = 290;
constexpr double minimumStacked = 150;

} // namespace

OrganizerSplit::OrganizerSplit(QWidget* parent) : QWidget(parent) {}

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
    if (saved.isValid() && isNumber) ratio_ = std::clamp(value, 0.2, 0.85);
}

void OrganizerSplit::setCollapsed(bool collapsed)
{
    collapsed_ = collapsed;
    layoutPanes();
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

void OrganizerSplit::layoutPanes()
{
    const QList<QWidget*> panes = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (panes.size() != 2) return;
    if (collapsed_) {
        panes[0]->setGeometry(rect());
        panes[1]->hide();
        return;
    }
    panes[1]->show();
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
    QPainter painter(this);
    const QRectF divider = dividerRect();
    painter.fillRect(divider, QColor::fromRgbF(0.23f, 0.23f, 0.23f));
    const QRectF grip = isVertical
        ? QRectF(divider.left() + 2, divider.center().y() - 20, 3, 40)
        : QRectF(divider.center().x() - 20, divider.top() + 2, 40, 3);
    QPainterPath path;
    path.addRoundedRect(grip, 1.5, 1.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, QColor(Qt::lightGray));
}

} // namespace zanto
