#include "organizer/OrganizerImageView.h"

#include <QPainter>

#include <algorithm>

namespace zanto {

OrganizerImageView::OrganizerImageView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void OrganizerImageView::setImage(const QImage& image)
{
    image_ = image;
    update();
}

QRectF OrganizerImageView::imageRect() const
{
    if (image_.isNull() || width() <= 0 || height() <= 0) return {};
    const double scale = std::min(width() / double(image_.width()), height() / double(image_.height()));
    const QSizeF size(image_.width() * scale, image_.height() * scale);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void OrganizerImageView::paintEvent(QPaintEvent*)
{
    const QRectF target = imageRect();
    if (target.isEmpty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}

} // namespace zanto
