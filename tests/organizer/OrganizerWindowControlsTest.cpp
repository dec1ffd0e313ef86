// The window as a user meets it, at its default and its minimum size.
#include "OrganizerTestSupport.h"

#include "organizer/OrganizerSplit.h"
#include "organizer/OrganizerVideoView.h"
#include "support/EventLoopWait.h"
#include "support/TestMedia.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>

namespace zanto {
namespace {

// A 2-s movie with one video item, opened, whose times and offset are doubles
// with long tails.
class OrganizerWindowControls : public test::OrganizerFixture, public ::testing::WithParamInterface<QSize> {
protected:
    static constexpr double start = 0.766666666666667;
    static constexpr double end = 1.3333333333333333;

    void SetUp() override
    {
        OrganizerFixture::SetUp();
        test::makeTestMovie(folder / "clip.mp4", {.durationSeconds = 2.0, .audio = false});
        OrganizerDocument document;
        document.sources = {
            OrganizerSource{.id = "S", .name = "cam", .path = (folder / "clip.mp4").string(), .offset = 0.1 + 0.2}};
        document.rows = {
            OrganizerRow{.name = "one",
                         .items = {OrganizerItem{
                             .id = "V",
                             .name = "とても長い名前のクリップ、左サイドからのカウンター攻撃とシュートまでの流れ",
                             .start = start,
                             .end = end,
                             .sourceIDs = {"S"},
                             .sourceID = "S"}}}};
        ASSERT_TRUE(organizer->openDocument(document));
        organizer->window()->resize(GetParam());
        organizer->selectTimeline(0, 0);
        test::settle();
    }

    QWidget* window() const { return organizer->window(); }
};

bool isControl(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QAbstractSlider*>(widget)
           || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget)
           || qobject_cast<const QTabBar*>(widget) || qobject_cast<const QPlainTextEdit*>(widget);
}

// A control only partly inside the viewport of a scroll area it lies in is
// reached by scrolling; one wholly outside it is not on show.
bool scrolledPartlyAway(const QWidget* control)
{
    for (const QWidget* inner = control; inner->parentWidget(); inner = inner->parentWidget()) {
        const auto* area = qobject_cast<const QAbstractScrollArea*>(inner->parentWidget());
        if (!area || area->viewport() != inner) continue;
        const QRect shown(control->mapTo(inner, QPoint()), control->size());
        if (!inner->rect().contains(shown)) return true;
    }
    return false;
}

std::string describe(const QWidget* widget)
{
    if (!widget) return "nothing";
    const QPoint at = widget->mapTo(widget->window(), QPoint());
    return QString("%1 %2 at %3,%4")
        .arg(widget->metaObject()->className(), widget->objectName())
        .arg(at.x())
        .arg(at.y())
        .toStdString();
}

// Every control on show lies wholly in the window, and a press at its centre
// or just inside any corner reaches it, as the window's own hit test routes it.
void expectEveryControlTakesItsClicks(QWidget* window)
{
    int checked = 0;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!isControl(control) || !control->isVisible() || scrolledPartlyAway(control)) continue;
        const QRect area(control->mapTo(window, QPoint()), control->size());
        EXPECT_TRUE(window->rect().contains(area)) << describe(control);
        const QRect inside = area.adjusted(2, 2, -2, -2);
        for (const QPoint point :
             {inside.center(), inside.topLeft(), inside.topRight(), inside.bottomLeft(), inside.bottomRight()}) {
            QWidget* hit = window->childAt(point);
            EXPECT_TRUE(hit == control || control->isAncestorOf(hit))
                << describe(control) << " hit by " << describe(hit);
        }
        ++checked;
    }
    EXPECT_GT(checked, 30);
}

QPoint centreInWindow(const QWidget* control)
{
    return control->mapTo(control->window(), control->rect().center());
}

TEST_P(OrganizerWindowControls, EveryControlOnShowTakesItsClicksBeforeAndAfterFullScreen)
{
    expectEveryControlTakesItsClicks(window());
    test::control<QTabBar>(*organizer, "inspectorTabs")->setCurrentIndex(1);
    organizer->toggleDrawing();
    test::settle();
    expectEveryControlTakesItsClicks(window());

    auto* movie = test::control<OrganizerVideoView>(*organizer, "movie");
    QTest::mouseClick(window()->windowHandle(), Qt::LeftButton, {},
                      centreInWindow(test::control<QWidget>(*organizer, "videoFullScreen")));
    ASSERT_TRUE(movie->isShowingFullScreen()) << "a click on 全画面 goes to it, not to a material";
    EXPECT_EQ(organizer->playlist().rows[0].items.size(), 1u);
    QTest::keyClick(movie->surface()->window()->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitFor([&] { return !movie->isShowingFullScreen(); }));
    test::settle();
    expectEveryControlTakesItsClicks(window());
}

TEST_P(OrganizerWindowControls, FieldsShowTheStartOfLongNumbersAndApplyKeepsThemWhole)
{
    for (const char* name : {"startField", "endField", "offsetField"})
        EXPECT_EQ(test::control<QLineEdit>(*organizer, name)->cursorPosition(), 0) << name;
    QTest::mouseClick(window()->windowHandle(), Qt::LeftButton, {},
                      centreInWindow(window()->findChild<QAbstractButton*>("apply")));
    const OrganizerItem& item = organizer->playlist().rows[0].items[0];
    EXPECT_EQ(item.start, start);
    EXPECT_EQ(item.end, end);
    EXPECT_EQ(organizer->playlist().sources[0].offset, 0.1 + 0.2);
}

TEST_P(OrganizerWindowControls, HidingTheInspectorLeavesNoDividerAndTheProgressBarMovesNothing)
{
    auto* split = test::control<OrganizerSplit>(*organizer, "horizontalSplit");
    const QRectF divider = split->dividerRect();
    organizer->toggleInspector();
    test::settle();
    const QImage shot = split->grab().toImage();
    const QRgb dividerColour = QColor::fromRgbF(0.23f, 0.23f, 0.23f).rgb();
    for (int y = 0; y < shot.height(); y += 4) ASSERT_NE(shot.pixel(int(divider.center().x()), y), dividerColour) << y;

    const QRect before = test::control<QWidget>(*organizer, "verticalSplit")->geometry();
    test::control<QProgressBar>(*organizer, "progress")->show();
    test::settle();
    EXPECT_EQ(test::control<QWidget>(*organizer, "verticalSplit")->geometry(), before);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OrganizerWindowControls, ::testing::Values(QSize(1200, 850), QSize(1000, 650)),
                         [](const auto& info) {
                             return std::to_string(info.param.width()) + "x" + std::to_string(info.param.height());
                         });

} // namespace
} // namespace zanto
