#include "OrganizerTestSupport.h"

#include "organizer/OrganizerColorWell.h"
#include "organizer/OrganizerSlider.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace zanto {
namespace {

// One way the slider's value may change, and whether that is the user's doing.
struct SliderCase {
    const char* name;
    std::function<void(OrganizerSlider&)> change;
    int actions;
    double value;
};

class OrganizerSliderChange : public ::testing::TestWithParam<SliderCase> {
protected:
    test::UsesApplication application;
};

TEST_P(OrganizerSliderChange, RunsTheActionOnlyForTheUser)
{
    const SliderCase& c = GetParam();
    OrganizerSlider slider(90, 10, 400);
    int actions = 0;
    slider.action = [&] { ++actions; };
    c.change(slider);
    EXPECT_EQ(actions, c.actions);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), c.value);

    // Whatever came before, a value set from code afterwards runs nothing.
    slider.setValue(slider.minimum() + 7);
    slider.setDoubleValue(55.5);
    EXPECT_EQ(actions, c.actions);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 55.5);
}

void drag(OrganizerSlider& slider, int steps)
{
    slider.setSliderDown(true);
    slider.setSliderPosition(steps);
    slider.setSliderDown(false);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerSliderChange,
    ::testing::Values(SliderCase{"SetFromCode", [](OrganizerSlider& s) { s.setDoubleValue(120.25); }, 0, 120.25},
                      SliderCase{"SetValueFromCode", [](OrganizerSlider& s) { s.setValue(20000); }, 0, 200},
                      SliderCase{"ClampedFromCode", [](OrganizerSlider& s) { s.setDoubleValue(1e9); }, 0, 400},
                      SliderCase{"NotANumberIgnored",
                                 [](OrganizerSlider& s) { s.setDoubleValue(std::numeric_limits<double>::quiet_NaN()); },
                                 0, 90},
                      SliderCase{"KeyStep",
                                 [](OrganizerSlider& s) { s.triggerAction(QAbstractSlider::SliderSingleStepAdd); }, 1,
                                 90.01},
                      SliderCase{"KeyStepAtTheEnd",
                                 [](OrganizerSlider& s) {
                                     s.setDoubleValue(400);
                                     s.triggerAction(QAbstractSlider::SliderSingleStepAdd);
                                 },
                                 0, 400},
                      SliderCase{"DragReleased", [](OrganizerSlider& s) { drag(s, 15000); }, 1, 150},
                      SliderCase{"DragBackToWhereItWas", [](OrganizerSlider& s) { drag(s, 9000); }, 0, 90}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrganizerSlider, DraggingRunsNothingUntilTheKnobIsReleased)
{
    test::testApplication();
    OrganizerSlider slider(1, 0, 4);
    int actions = 0;
    slider.action = [&] { ++actions; };
    slider.setSliderDown(true);
    for (int steps : {110, 200, 300}) slider.setSliderPosition(steps);
    EXPECT_EQ(actions, 0);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 1);
    slider.setSliderDown(false);
    EXPECT_EQ(actions, 1);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 3);
}

TEST(OrganizerSlider, AContinuousSliderReportsEveryMove)
{
    test::testApplication();
    OrganizerSlider zoom(12, 1, 24);
    zoom.setContinuous(true);
    std::vector<double> reported;
    zoom.action = [&] { reported.push_back(zoom.doubleValue()); };
    zoom.setSliderDown(true);
    for (int steps : {1237, 2400, 100}) zoom.setSliderPosition(steps);
    zoom.setSliderDown(false);
    zoom.setDoubleValue(5);
    EXPECT_EQ(reported, (std::vector<double>{12.37, 24, 1}));
}

TEST(OrganizerColorWell, AColourSetFromCodeRunsNothing)
{
    test::testApplication();
    OrganizerColorWell well;
    int actions = 0;
    well.action = [&] { ++actions; };
    well.setColor(QColor::fromRgbF(0.1f, 0.6f, 1.0f));
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(well.color(), QColor::fromRgbF(0.1f, 0.6f, 1.0f));
}

} // namespace
} // namespace zanto
