#include "organizer/OrganizerRangeBar.h"

#include <QPainter>

#include <algorithm>

namespace zanto {

namespace {

constexpr double margin = 8;

// The system accent of the bar's range and handles.
const QColor blue(10, 132, 255);

} // namespace

OrganizerRangeBar::OrganizerRangeBar(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(barHeight);
    setFocusPolicy(Qt::ClickFocus);
}

void OrganizerRangeBar::configure(const OrganizerItem& item, double duration)
{
    start_ = item.start;
    end_ = item.end;
    lower_ = std::max(0.0, start_ - 10);
    upper_ = std::min(duration, end_ + 10);
    // A duration at or below the window's start (or NaN) leaves one second.
    if (!(upper_ > lower_)) upper_ = lower_ + 1;
    preview_.reset();
    update();
}

double OrganizerRangeBar::x(double seconds) const
{
    const double w = std::max(1.0, width() - 2 * margin);
    return margin + (seconds - lower_) / (upper_ - lower_) * w;
}

double OrganizerRangeBar::time(double x) const
{
    const double w = std::max(1.0, width() - 2 * margin);
    return std::clamp(lower_ + (x - margin) / w * (upper_ - lower_), lower_, upper_);
}

void OrganizerRangeBar::setPreview(std::optional<std::pair<double, double>> preview)
{
    preview_ = preview;
    update();
}

void OrganizerRangeBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.13f, 0.13f, 0.13f));
    const double s = preview_ ? preview_->first : start_;
    const double e = preview_ ? preview_->second : end_;
    QColor range = blue;
    range.setAlphaF(0.35f);
    painter.fillRect(QRectF(x(s), 17, std::max(1.0, x(e) - x(s)), 12), range);
    for (const double t : {s, e}) painter.fillRect(QRectF(x(t) - 3, 15, 6, 16), blue);

    QFont font = this->font();
    font.setPixelSize(11);
    font.setWeight(QFont::Medium);
    font.setStyleHint(QFont::Monospace);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QString label = QString::asprintf("開始 %.2f秒     終了 %.2f秒     %.2f秒", s, e, e - s);
    painter.drawText(QRectF(margin, 1, std::max(0, width() - 8), 16), Qt::AlignLeft | Qt::AlignTop, label);
}

} // namespace zanto
