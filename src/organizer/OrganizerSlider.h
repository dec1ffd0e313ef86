#pragma once
#include <QSlider>

#include <functional>

namespace zanto {

// A horizontal slider over a range of doubles (steps of 0.01). By default it
// is not continuous: `action` runs once when the user lets go of the knob (or
// steps it with the keys or the wheel). A continuous slider runs it on every
// move of the knob as well. It never runs when the value is set from code,
// through setDoubleValue() or the slider's own setValue().
// Main thread only.
class OrganizerSlider : public QSlider {
public:
    OrganizerSlider(double value, double minimum, double maximum, QWidget* parent = nullptr);

    double doubleValue() const;
    // Sets the value (rounded to the step, kept in range) without running the action.
    void setDoubleValue(double value);
    double minimumValue() const;
    double maximumValue() const;
    void setContinuous(bool continuous) { setTracking(continuous); }

    std::function<void()> action;

private:
    bool userChange_ = false;
};

} // namespace zanto
