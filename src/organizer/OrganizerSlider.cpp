#include "organizer/OrganizerSlider.h"

#include <QSignalBlocker>

#include <cmath>

namespace zanto {

namespace {

constexpr double stepsPerUnit = 100;

int toSteps(double value)
{
    return static_cast<int>(std::lround(value * stepsPerUnit));
}

} // namespace

OrganizerSlider::OrganizerSlider(double value, double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(toSteps(minimum), toSteps(maximum));
    setValue(toSteps(value));
    setTracking(false);
    // Values set from code go through setDoubleValue, which blocks this signal.
    connect(this, &QSlider::valueChanged, this, [this] {
        if (action) action();
    });
}

double OrganizerSlider::doubleValue() const
{
    return value() / stepsPerUnit;
}

void OrganizerSlider::setDoubleValue(double value)
{
    const QSignalBlocker blocker(this);
    setValue(toSteps(value));
}

double OrganizerSlider::minimumValue() const
{
    return minimum() / stepsPerUnit;
}

double OrganizerSlider::maximumValue() const
{
    return maximum() / stepsPerUnit;
}

} // namespace zanto
