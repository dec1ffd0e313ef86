#include "OrganizerTestSupport.h"

#include "organizer/OrganizerSlider.h"
#include "organizer/OrganizerSplit.h"
#include "support/PlaylistSamples.h"

#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

namespace zanto {
namespace {

class OrganizerLayoutCommands : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settingsHome.path()));
        QSettings().clear();
        OrganizerFixture::SetUp();
        ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
        test::expectConsistent(*organizer);
    }

    void resizeWindow(int width)
    {
        organizer->window()->resize(width, 850);
        test::settle();
    }

    OrganizerSplit& split(const char* name) { return *test::control<OrganizerSplit>(*organizer, name); }

    test::TempDir settingsHome{"zanto-layout-settings-"};
};

TEST_F(OrganizerLayoutCommands, ResetPlacesTheInspectorDividerFromTheRightEdge)
{
    const struct {
        int width;
        double divider, ratio;
    } cases[] = {{1200, 900, 0.75}, {2400, 2040, 0.85}};
    for (const auto& c : cases) {
        resizeWindow(c.width);
        organizer->perform(OrganizerCommand::toggleInspector);
        ASSERT_TRUE(organizer->perform(OrganizerCommand::resetLayout));
        EXPECT_FALSE(organizer->inspectorHidden);
        EXPECT_FALSE(split("horizontalSplit").collapsed()) << c.width;
        EXPECT_DOUBLE_EQ(split("horizontalSplit").dividerPosition(), c.divider) << c.width;
        EXPECT_DOUBLE_EQ(split("horizontalSplit").ratio(), c.ratio) << c.width;
        EXPECT_NEAR(split("verticalSplit").ratio(), 0.73, 1e-9);
        test::expectConsistent(*organizer);
    }
    EXPECT_TRUE(QSettings().allKeys().isEmpty()) << "layout commands write no settings";
}

TEST_F(OrganizerLayoutCommands, EnlargeTwiceIsOnceAndToggleTwiceRestores)
{
    resizeWindow(1200);
    organizer->perform(OrganizerCommand::enlargePreview);
    const double once = split("verticalSplit").dividerPosition();
    organizer->perform(OrganizerCommand::enlargePreview);
    EXPECT_DOUBLE_EQ(split("verticalSplit").dividerPosition(), once);
    EXPECT_NEAR(split("verticalSplit").ratio(), 0.76, 1e-9);

    split("horizontalSplit").setPosition(700, 0);
    const double divider = split("horizontalSplit").dividerPosition();
    test::BusyHold busy(*organizer);
    EXPECT_TRUE(organizer->perform(OrganizerCommand::toggleInspector)) << "layout runs while busy";
    EXPECT_TRUE(split("horizontalSplit").collapsed());
    organizer->perform(OrganizerCommand::toggleInspector);
    EXPECT_FALSE(split("horizontalSplit").collapsed());
    EXPECT_DOUBLE_EQ(split("horizontalSplit").dividerPosition(), divider);
}

TEST_F(OrganizerLayoutCommands, LayoutMenuEntriesWordForWordRunTheirCommands)
{
    dialogs().menus = {2};
    test::control<QPushButton>(*organizer, "showLayout")->click();
    ASSERT_EQ(dialogs().calls.size(), 1u);
    EXPECT_EQ(dialogs().calls[0].texts, (QStringList{"映像を大きく", "標準の配置", "インスペクタの表示切替"}));
    EXPECT_TRUE(organizer->inspectorHidden);
}

TEST_F(OrganizerLayoutCommands, ZoomSliderMovesSetTheScaleAsTheyGo)
{
    auto* slider = test::control<OrganizerSlider>(*organizer, "zoomSlider");
    auto& timeline = *test::control<OrganizerTimeline>(*organizer, "timeline");
    test::change(*organizer, [](OrganizerDocument& d) { d.rows[0].items[0].end = 61; });
    double block = timeline.rects(0).at(0).width();
    slider->setSliderDown(true);
    for (double value : {7.25, 24.0, 3.5}) {
        slider->setSliderPosition(static_cast<int>(value * 100));
        EXPECT_DOUBLE_EQ(timeline.scale, value) << "while the knob is down";
        EXPECT_NE(timeline.rects(0).at(0).width(), block) << "laid out again at once";
        block = timeline.rects(0).at(0).width();
    }
    slider->setSliderDown(false);
    test::expectConsistent(*organizer);
}

TEST_F(OrganizerLayoutCommands, TabsAndDrawingToggleShowTheirPages)
{
    auto* tabs = test::control<QTabBar>(*organizer, "inspectorTabs");
    auto* drawing = test::control<QWidget>(*organizer, "drawingPanel");
    for (int tab : {1, 0}) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
        EXPECT_EQ(test::control<QWidget>(*organizer, "infoPanel")->isHidden(), tab == 1);
        EXPECT_EQ(test::control<QWidget>(*organizer, "playbackPanel")->isHidden(), tab == 0);
        test::control<QPushButton>(*organizer, "toggleDrawing")->click();
        EXPECT_EQ(drawing->isHidden(), tab == 0);
    }
}

} // namespace
} // namespace zanto
