#include "organizer/OrganizerSlider.h"

#include <algorithm>
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
    // Only what the user does runs the action: every key, wheel, click or
    // release of the knob goes through an action triggered just before the
    // value changes, and values set from code never do.
    connect(this, &QAbstractSlider::actionTriggered, this, [this] { userChange_ = sliderPosition() != this->value(); });
    connect(this, &QSlider::valueChanged, this, [this] {
        const bool user = userChange_;
        userChange_ = false;
        if (user && action) action();
    });
}

double OrganizerSlider::doubleValue() const
{
    return value() / stepsPerUnit;
}

void OrganizerSlider::setDoubleValue(double value)
{
    if (!std::isfinite(value)) return;
    setValue(toSteps(std::clamp(value, minimumValue(), maximumValue())));
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
