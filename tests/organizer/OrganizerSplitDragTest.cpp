// Presses go through the window, as the user's do, so that they reach
// whichever child lies on top at the point.
#define QTEST_QPA_MOUSE_HANDLING
#include "OrganizerTestSupport.h"

#include "organizer/OrganizerSplit.h"

#include <QMouseEvent>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

namespace zanto {
namespace {

constexpr const char* key = "SplitDragTest";

class Pane : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
};

class OrganizerSplitDrag : public ::testing::Test {
protected:
    OrganizerSplitDrag()
    {
        // Settings of this test only.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settingsHome.path()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(settingsHome.path()));
        QSettings().clear();
    }

    void build(bool sideBySide, QSize size)
    {
        split.isVertical = sideBySide;
        split.addArrangedSubview(first);
        split.addArrangedSubview(second);
        split.resize(size);
        split.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&split));
        split.setAutosaveName(key);
    }

    // A point on the divider's axis at `offset` from its leading edge, halfway across.
    QPoint onDivider(double offset) const
    {
        const QRectF divider = split.dividerRect();
        return split.isVertical ? QPointF(divider.left() + offset, divider.center().y()).toPoint()
                                : QPointF(divider.center().x(), divider.top() + offset).toPoint();
    }

    Qt::CursorShape cursorAt(QPoint point) const
    {
        const QWidget* under = split.childAt(point);
        return (under ? under : &split)->cursor().shape();
    }

    test::UsesApplication application;
    test::TempDir settingsHome{"zanto-split-settings-"};
    OrganizerSplit split;
    Pane* first = new Pane;
    Pane* second = new Pane;
};

TEST_F(OrganizerSplitDrag, PanesFollowTheRatioWithinTheirMinimums)
{
    const struct {
        bool sideBySide;
        int length;
        double position;
        int firstPane, secondPane;
    } cases[] = {{true, 600, 390, 380, 213}, {true, 1200, 780, 780, 413}, {false, 400, 340, 243, 150}};
    build(true, {600, 400});
    for (const auto& c : cases) {
        split.isVertical = c.sideBySide;
        split.resize(c.sideBySide ? QSize(c.length, 300) : QSize(800, c.length));
        split.setPosition(c.position, 3);
        const auto along = [&](QWidget* pane) { return c.sideBySide ? pane->width() : pane->height(); };
        EXPECT_EQ(along(first), c.firstPane) << c.length;
        EXPECT_EQ(along(second), c.secondPane) << c.length;
    }
}

TEST_F(OrganizerSplitDrag, SavedRatioIsReadClampedAndOnlyWhenFinite)
{
    build(true, {1200, 400});
    const struct {
        QVariant saved;
        double ratio;
    } cases[] = {{0.1, 0.2},   {0.9, 0.85},  {0.16, 0.2},    {"0.5", 0.5}, {"nan", 0.5},
                 {"inf", 0.5}, {"abc", 0.5}, {"1e309", 0.5}, {"", 0.5}};
    for (const auto& c : cases) {
        QSettings().setValue(key, c.saved);
        split.setAutosaveName(key);
        EXPECT_DOUBLE_EQ(split.ratio(), c.ratio) << c.saved.toString().toStdString();
    }
}

TEST_F(OrganizerSplitDrag, OnlyTheEndOfADragWrites)
{
    build(true, {1200, 400});
    split.setPosition(700, 0);
    EXPECT_FALSE(QSettings().contains(key));

    QTest::mousePress(&split, Qt::LeftButton, {}, onDivider(3));
    EXPECT_TRUE(split.dragging());
    QTest::mouseMove(&split, QPoint(192, 200));
    EXPECT_DOUBLE_EQ(split.ratio(), 0.16);
    EXPECT_EQ(split.dividerPosition(), 380);
    QTest::mouseMove(&split, QPoint(5000, 200));
    EXPECT_DOUBLE_EQ(split.ratio(), 0.85);
    QTest::mouseMove(&split, QPoint(900, 200));
    EXPECT_FALSE(QSettings().contains(key));
    QTest::mouseRelease(&split, Qt::LeftButton, {}, QPoint(900, 200));
    EXPECT_FALSE(split.dragging());
    EXPECT_DOUBLE_EQ(QSettings().value(key).toDouble(), 0.75);
    EXPECT_EQ(first->width(), 900);
}

TEST_F(OrganizerSplitDrag, StackedDragFollowsTheVerticalPointer)
{
    build(false, {800, 600});
    QTest::mousePress(&split, Qt::LeftButton, {}, onDivider(3));
    QTest::mouseMove(&split, QPoint(400, 300));
    QTest::mouseRelease(&split, Qt::LeftButton, {}, QPoint(400, 300));
    EXPECT_EQ(first->height(), 300);
    EXPECT_DOUBLE_EQ(QSettings().value(key).toDouble(), 0.5);
}

TEST_F(OrganizerSplitDrag, HitAreaAndCursor)
{
    build(true, {1200, 400});
    const struct {
        double offset; // from the divider's leading edge
        bool split;
        Qt::CursorShape cursor;
    } cases[] = {{-1, true, Qt::ArrowCursor}, {-3, false, Qt::ArrowCursor}, {0, true, Qt::SplitHCursor},
                 {6, true, Qt::SplitHCursor}, {8, true, Qt::ArrowCursor},   {10, false, Qt::ArrowCursor}};
    for (const auto& c : cases) {
        const int before = first->presses + second->presses;
        QTest::mousePress(&split, Qt::LeftButton, {}, onDivider(c.offset));
        EXPECT_EQ(split.dragging(), c.split) << c.offset;
        EXPECT_EQ(first->presses + second->presses - before, c.split ? 0 : 1) << c.offset;
        QTest::mouseRelease(&split, Qt::LeftButton, {}, onDivider(c.offset));
        EXPECT_EQ(cursorAt(onDivider(c.offset)), c.cursor) << c.offset;
    }

    // Collapsed: the first pane has the whole split, divider place included.
    split.setCollapsed(true);
    QTest::mousePress(&split, Qt::LeftButton, {}, onDivider(3));
    EXPECT_FALSE(split.dragging());
    EXPECT_EQ(first->presses, 2);
    QTest::mouseRelease(&split, Qt::LeftButton, {}, onDivider(3));
    EXPECT_EQ(cursorAt(onDivider(3)), Qt::ArrowCursor);
}

} // namespace
} // namespace zanto
