#include "organizer/OrganizerColorWell.h"

#include <QColorDialog>
#include <QPainter>

namespace zanto {

OrganizerColorWell::OrganizerColorWell(QWidget* parent) : QPushButton(parent)
{
    setFixedSize(44, 24);
    connect(this, &QPushButton::clicked, this, [this] { choose(); });
}

void OrganizerColorWell::setColor(const QColor& color)
{
    color_ = color;
    update();
}

void OrganizerColorWell::choose()
{
    const QColor picked = QColorDialog::getColor(color_, window(), QString(), QColorDialog::ShowAlphaChannel);
    if (!picked.isValid()) return;
    setColor(picked);
    if (action) action();
}

void OrganizerColorWell::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = rect().adjusted(6, 5, -6, -5);
    painter.fillRect(swatch, color_);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

} // namespace zanto
