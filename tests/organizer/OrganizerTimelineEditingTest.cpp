#include "OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"

#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace zanto {
namespace {

// The window with the sample playlist: row 0 blocks [223, 333), [336, 446),
// [449, 559) at y 3..24; row 1 blocks [223, 333), [336, 446) at y 30..51.
class OrganizerTimelineEditing : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
        timeline = test::control<OrganizerTimeline>(*organizer, "timeline");
        ASSERT_NE(timeline, nullptr);
    }

    void press(QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(timeline, Qt::LeftButton, modifiers, at);
    }
    void dragTo(QPoint to)
    {
        QTest::mouseMove(timeline, to);
        test::expectConsistent(*organizer);
    }
    void release(QPoint at) { QTest::mouseRelease(timeline, Qt::LeftButton, {}, at); }

    std::vector<std::vector<std::string>> ids() const
    {
        std::vector<std::vector<std::string>> result;
        for (const OrganizerRow& row : organizer->playlist().rows) {
            result.emplace_back();
            for (const OrganizerItem& item : row.items) result.back().push_back(item.id);
        }
        return result;
    }

    OrganizerTimeline* timeline = nullptr;
};

struct MoveCase {
    const char* name;
    std::vector<QPoint> controlPresses; // selection made first
    QPoint from;
    QPoint to;
    std::vector<std::vector<std::string>> ids;
    int row;
    std::set<int> selection;
};

class OrganizerTimelineEditingMove : public OrganizerTimelineEditing,
                                     public ::testing::WithParamInterface<MoveCase> { };

TEST_P(OrganizerTimelineEditingMove, DropsAndSelectsTheMovedBlock)
{
    const MoveCase& c = GetParam();
    for (QPoint at : c.controlPresses) {
        press(at, Qt::ControlModifier);
        release(at);
        test::expectConsistent(*organizer);
    }
    press(c.from);
    test::expectConsistent(*organizer);
    // Moves with only the right button down are no drag.
    QMouseEvent rightMove(QEvent::MouseMove, QPointF(c.to), timeline->mapToGlobal(QPointF(c.to)), Qt::NoButton,
                          Qt::RightButton, {});
    QApplication::sendEvent(timeline, &rightMove);
    EXPECT_FALSE(timeline->drop);
    dragTo(c.to + QPoint(1, 0));
    release(c.to);
    test::expectConsistent(*organizer);
    EXPECT_EQ(ids(), c.ids);
    EXPECT_EQ(organizer->currentRow(), c.row);
    EXPECT_EQ(organizer->table.selectedRowIndexes(), c.selection);
    EXPECT_FALSE(timeline->gesture || timeline->drop);
}

using Ids = std::vector<std::vector<std::string>>;
const Ids unchanged{{"I1", "I2", "I3"}, {"I4", "I5"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerTimelineEditingMove,
    ::testing::Values(
        MoveCase{"OnlyThePressedBlock", {}, {280, 13}, {600, 13}, {{"I2", "I3", "I1"}, {"I4", "I5"}}, 0, {2}},
        MoveCase{"BeforeItsFollowerStays", {}, {280, 13}, {340, 13}, unchanged, 0, {0}},
        MoveCase{"TheSelectionTogether",
                 {{280, 13}, {500, 13}},
                 {500, 13},
                 {230, 40},
                 {{"I2"}, {"I1", "I3", "I4", "I5"}},
                 1,
                 {0, 1}},
        MoveCase{"BelowTheLastLane", {}, {400, 13}, {900, 400}, {{"I1", "I3"}, {"I4", "I5", "I2"}}, 1, {2}},
        MoveCase{"AboveTheFirstLane", {}, {280, 40}, {230, -60}, {{"I4", "I1", "I2", "I3"}, {"I5"}}, 0, {0}},
        MoveCase{"BelowTheThreshold", {}, {280, 13}, {281, 15}, unchanged, 0, {0}}),
    [](const auto& info) { return std::string(info.param.name); });

// A title item of 100 seconds, 520 points wide.
struct TrimCase {
    const char* name;
    int edge; // the x of the press in the block: left or right
    int dx;
    double start;
    double end;
};

class OrganizerTimelineEditingTrim : public OrganizerTimelineEditing,
                                     public ::testing::WithParamInterface<TrimCase> { };

TEST_P(OrganizerTimelineEditingTrim, ClampsThenCommits)
{
    const TrimCase& c = GetParam();
    test::change(*organizer, [](OrganizerDocument& d) {
        d.rows[0].items[2].start = 0;
        d.rows[0].items[2].end = 100;
    });
    const QRectF block = timeline->rects(0)[2];
    ASSERT_EQ(block.width(), 520);
    const QPoint from(c.edge < 0 ? int(block.left()) + 7 : int(block.right()) - 7, 13);
    press(from);
    dragTo(from + QPoint(c.dx, 0));
    release(from + QPoint(c.dx, 0));
    test::expectConsistent(*organizer);
    const OrganizerItem& item = organizer->playlist().rows[0].items[2];
    EXPECT_DOUBLE_EQ(item.start, c.start);
    EXPECT_DOUBLE_EQ(item.end, c.end);
    EXPECT_EQ(organizer->statusText(), QString::asprintf("始点 %.2f秒 → 終点 %.2f秒", c.start, c.end));
    EXPECT_EQ(organizer->table.selectedRowIndexes(), std::set<int>{2});
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerTimelineEditingTrim,
                         ::testing::Values(TrimCase{"RightByFiftyTwoPoints", 1, 52, 0, 110},
                                           TrimCase{"LeftFarLeft", -1, -3000, 0, 100},
                                           TrimCase{"LeftFarRight", -1, 3000, 99.96, 100},
                                           TrimCase{"RightFarLeft", 1, -3000, 0, 0.04},
                                           TrimCase{"RightFarRight", 1, 5000000, 0, 864000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerTimelineEditing, AChangeBetweenPressAndReleaseCommitsNothing)
{
    test::change(*organizer, [](OrganizerDocument& d) { d.title = "edited"; });
    press({280, 13});
    dragTo({600, 13});
    ASSERT_TRUE(timeline->drop);
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    const OrganizerDocument undone = organizer->playlist();
    release({600, 13});
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), undone);
}

TEST_F(OrganizerTimelineEditing, PressesSelectAndTheSecondaryPressOpensAMenu)
{
    press({280, 13});
    release({280, 13});
    press({500, 13}, Qt::ShiftModifier);
    release({500, 13});
    EXPECT_EQ(organizer->table.selectedRowIndexes(), (std::set<int>{0, 1, 2}));
    press({400, 13}, Qt::ControlModifier);
    release({400, 13});
    EXPECT_EQ(organizer->table.selectedRowIndexes(), (std::set<int>{0, 2}));
    EXPECT_TRUE(timeline->hasFocus());
    test::expectConsistent(*organizer);

    QTest::mousePress(timeline, Qt::RightButton, {}, {280, 13});
    QTest::mouseRelease(timeline, Qt::RightButton, {}, {280, 13});
    EXPECT_EQ(organizer->table.selectedRowIndexes(), (std::set<int>{0, 2})) << "a selected block keeps the selection";
    QTest::mousePress(timeline, Qt::RightButton, {}, {300, 40});
    QTest::mouseRelease(timeline, Qt::RightButton, {}, {300, 40});
    QTest::mousePress(timeline, Qt::RightButton, {}, {600, 40});
    QTest::mouseRelease(timeline, Qt::RightButton, {}, {600, 40});
    EXPECT_EQ(organizer->currentRow(), 1);
    EXPECT_TRUE(organizer->table.selectedRowIndexes().empty());
    test::expectConsistent(*organizer);
    using Call = test::OrganizerScriptedDialogs::Call;
    const QStringList items{"再生", "選択をMP4書出", "スライドを前に挿入", "スライドを後ろに挿入", "複製", "削除"};
    const QStringList rows{"Final Cut Pro XMLを書き出す…", "行名を変更", "行を上へ", "行を下へ", "＋ 行", "行を削除"};
    EXPECT_EQ(dialogs().calls, (std::vector<Call>{{"menu", items}, {"menu", items}, {"menu", rows}}));

    // A double press on a label renames that row, as Return does.
    QTest::mouseDClick(timeline, Qt::LeftButton, {}, {100, 13});
    EXPECT_EQ(organizer->currentRow(), 0);
    QTest::keyClick(timeline, Qt::Key_Return);
    ASSERT_EQ(dialogs().calls.size(), 5u);
    EXPECT_EQ(dialogs().calls[3].kind, "ask");
    EXPECT_EQ(dialogs().calls[4], dialogs().calls[3]);
    EXPECT_EQ(dialogs().calls[3].texts[1], "前半");
    test::expectConsistent(*organizer);
}

TEST_F(OrganizerTimelineEditing, EscapeDropsTheGesture)
{
    press({280, 13});
    dragTo({600, 13});
    QTest::keyClick(timeline, Qt::Key_Escape);
    release({600, 13});
    test::expectConsistent(*organizer);
    EXPECT_EQ(ids(), unchanged);
}

} // namespace
} // namespace zanto
