// Selecting and moving marks with the mouse while the overlay is editing.
// Everything here works in view points with y up, the marks' own orientation;
// events are converted once, on arrival.
#include "organizer/OrganizerOverlay.h"

#include "marks/GXLPreset.h"

#include <QMouseEvent>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zanto {

namespace {

constexpr double pointRadius = 24;
constexpr double segmentRadius = 18;
constexpr double movingPointRadius = 12;
constexpr double referenceWidth = 1920;
constexpr int arcSamples = 31;
const std::string loftedArc = "Lofted Arc";

double clamp01(double value)
{
    return std::max(std::min(value, 1.0), 0.0);
}

std::vector<QPointF> pointsOf(const OrganizerMark& mark)
{
    std::vector<QPointF> points;
    if (mark.gxl) {
        for (const GXLPoint& point : mark.gxl->points) points.emplace_back(point.x, point.y);
    } else {
        points = {QPointF(mark.x, mark.y), QPointF(mark.x2, mark.y2)};
    }
    return points;
}

bool finite(const OrganizerMark& mark)
{
    const std::vector<QPointF> points = pointsOf(mark);
    return std::all_of(points.begin(), points.end(),
                       [](QPointF point) { return std::isfinite(point.x()) && std::isfinite(point.y()); });
}

// The arc from the first point to the last as the renderer bulges it: upwards
// by the preset's height, which is given for a 1920-point-wide frame.
std::vector<QPointF> arcSamplesOf(QPointF a, QPointF b, double width, double height)
{
    const double h = GXLPreset::parameters(loftedArc).arcHeight * width / referenceWidth / height;
    std::vector<QPointF> samples;
    for (int k = 0; k < arcSamples; ++k) {
        const double t = k / double(arcSamples - 1);
        samples.emplace_back(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t + h * 4 * t * (1 - t));
    }
    return samples;
}

bool nearSegment(QPointF a, QPointF b, QPointF n, double width, double height)
{
    const QPointF d((b.x() - a.x()) * width, (b.y() - a.y()) * height);
    const QPointF v((n.x() - a.x()) * width, (n.y() - a.y()) * height);
    const double t = std::clamp(QPointF::dotProduct(d, v) / std::max(1.0, QPointF::dotProduct(d, d)), 0.0, 1.0);
    const QPointF off = v - t * d;
    return std::hypot(off.x(), off.y()) < segmentRadius;
}

} // namespace

QPointF OrganizerOverlay::viewPoint(const QPointF& widgetPoint) const
{
    return {widgetPoint.x(), height() - widgetPoint.y()};
}

double OrganizerOverlay::safeWidth() const
{
    return std::max(1, width());
}

double OrganizerOverlay::safeHeight() const
{
    return std::max(1, height());
}

bool OrganizerOverlay::hits(const OrganizerMark& mark, QPointF n) const
{
    const double w = width();
    const double h = height();
    std::vector<QPointF> points = pointsOf(mark);
    double radius = pointRadius;
    if (points.size() == 1 && mark.gxl) radius = std::max(pointRadius, mark.gxl->size * w / referenceWidth + 12);
    for (const QPointF& q : points) {
        if (std::hypot((q.x() - n.x()) * w, (q.y() - n.y()) * h) < radius) return true;
    }
    const bool arc = mark.gxl && mark.gxl->tool == loftedArc;
    if (arc && points.size() > 1) points = arcSamplesOf(points.front(), points.back(), w, safeHeight());
    if (points.size() >= 3 && !arc) {
        const QPolygonF polygon(QList<QPointF>(points.begin(), points.end()));
        if (polygon.containsPoint(n, Qt::WindingFill)) return true;
    }
    for (size_t i = 1; i < points.size(); ++i) {
        if (nearSegment(points[i - 1], points[i], n, w, h)) return true;
    }
    return false;
}

std::optional<int> OrganizerOverlay::nearestPoint(const OrganizerMark& mark, QPointF n) const
{
    if (!mark.gxl || mark.gxl->points.size() < 2) return std::nullopt;
    const std::vector<QPointF> points = pointsOf(mark);
    const auto within = [&](QPointF q) {
        return std::hypot((q.x() - n.x()) * width(), (q.y() - n.y()) * height()) < movingPointRadius;
    };
    if (std::none_of(points.begin(), points.end(), within)) return std::nullopt;
    std::optional<int> nearest;
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < points.size(); ++i) {
        const double distance = std::hypot(points[i].x() - n.x(), points[i].y() - n.y());
        if (distance < best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

void OrganizerOverlay::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (busy_) return;
    const QPointF p = viewPoint(event->position());
    origin_ = p;
    const QPointF n(p.x() / safeWidth(), p.y() / safeHeight());
    selectedMark_.reset();
    for (int i = static_cast<int>(marks_.size()) - 1; i >= 0; --i) {
        if (hits(marks_[static_cast<size_t>(i)], n)) {
            selectedMark_ = i;
            break;
        }
    }
    moving_.reset();
    movingPoint_.reset();
    if (selectedMark_) {
        moving_ = marks_[static_cast<size_t>(*selectedMark_)];
        movingPoint_ = nearestPoint(*moving_, n);
    }
    if (onSelect) onSelect(moving_ ? moving_->gxl : std::nullopt);
    update();
}

void OrganizerOverlay::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (!origin_ || !moving_ || !selectedMark_ || *selectedMark_ >= static_cast<int>(marks_.size())) return;
    const QPointF p = viewPoint(event->position());
    const std::vector<QPointF> points = pointsOf(*moving_);
    double minX = 0, maxX = 1, minY = 0, maxY = 1;
    if (!points.empty()) {
        const auto [left, right] =
            std::minmax_element(points.begin(), points.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); });
        const auto [bottom, top] =
            std::minmax_element(points.begin(), points.end(), [](QPointF a, QPointF b) { return a.y() < b.y(); });
        minX = left->x();
        maxX = right->x();
        minY = bottom->y();
        maxY = top->y();
    }
    const double dx = std::max(-minX, std::min(1 - maxX, (p.x() - origin_->x()) / safeWidth()));
    const double dy = std::max(-minY, std::min(1 - maxY, (p.y() - origin_->y()) / safeHeight()));
    OrganizerMark mark = *moving_;
    if (movingPoint_ && mark.gxl && *movingPoint_ < static_cast<int>(mark.gxl->points.size())) {
        mark.gxl->points[static_cast<size_t>(*movingPoint_)] = {clamp01(p.x() / safeWidth()),
                                                                clamp01(p.y() / safeHeight())};
    } else if (mark.gxl) {
        for (GXLPoint& point : mark.gxl->points) point = {point.x + dx, point.y + dy};
    } else {
        mark.x += dx;
        mark.x2 += dx;
        mark.y += dy;
        mark.y2 += dy;
    }
    // Nothing not finite ever reaches the document.
    if (!finite(mark)) return;
    std::vector<OrganizerMark> marks = marks_;
    marks[static_cast<size_t>(*selectedMark_)] = std::move(mark);
    setMarks(std::move(marks));
}

void OrganizerOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (moving_ && onChange) onChange(marks_);
    moving_.reset();
    origin_.reset();
}

void OrganizerOverlay::cancelGesture()
{
    if (moving_ && selectedMark_ && *selectedMark_ < static_cast<int>(marks_.size())
        && marks_[static_cast<size_t>(*selectedMark_)] != *moving_) {
        std::vector<OrganizerMark> marks = marks_;
        marks[static_cast<size_t>(*selectedMark_)] = *moving_;
        setMarks(std::move(marks));
    }
    moving_.reset();
    origin_.reset();
}

} // namespace zanto
