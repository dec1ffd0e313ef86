// Presses, drags, keys and edits on the real window over real media, with the
// consistency check after every step: the edits that keep the views, a press
// of "I", and a seeded random walk of them all.
#include "OrganizerCommandEffects.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include <random>

namespace zanto {
namespace {

using test::CommandWindow;

// A point `across` the block `item` of the current row.
QPoint blockAt(CommandWindow& w, int item, double across = 0.5)
{
    const QRectF block = w.timeline().rects(w.organizer->currentRow())[size_t(item)];
    return QPointF(block.left() + block.width() * across, block.center().y()).toPoint();
}

// A press, a move with the button held and a release, as the platform sends them.
void drag(CommandWindow& w, QPoint from, QPoint to)
{
    for (const auto& [type, at] : {std::pair{QEvent::MouseButtonPress, from}, std::pair{QEvent::MouseMove, to},
                                   std::pair{QEvent::MouseButtonRelease, to}}) {
        QMouseEvent event(type, at, w.timeline().mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w.timeline(), &event);
    }
}

void key(CommandWindow& w, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(w.organizer->window()->windowHandle(), key, modifiers);
}

// A Shift press selects from the table's selected line to the pressed block.
void shiftPress(CommandWindow& w, int item)
{
    const int anchor = w.organizer->table.selectedRow();
    QTest::mouseClick(&w.timeline(), Qt::LeftButton, Qt::ShiftModifier, blockAt(w, item));
    std::set<int> range;
    for (int i = std::min(anchor, item); anchor >= 0 && i <= std::max(anchor, item); ++i) range.insert(i);
    if (anchor >= 0) {
        EXPECT_EQ(w.organizer->table.selectedRowIndexes(), range) << "from " << anchor << " to " << item;
    }
}

// The edits whose commit keeps the views, each run from its own button.
void keptEdit(CommandWindow& w, int which)
{
    w.control<QLineEdit>("offsetField")->setText(QString::number(0.1 * (which + 1)));
    w.dialogs().files = {{QString::fromStdString((test::media() / "other.mp4").string())}};
    w.control<QAbstractButton>(std::array{"applyOffset", "relink", "undoMark"}[size_t(which)])->click();
}

TEST(OrganizerKeptEdit, AShiftPressAfterEachStartsFromTheSelectedLine)
{
    for (int which = 0; which < 3; ++which) {
        CommandWindow w;
        QTest::mouseClick(&w.timeline(), Qt::LeftButton, {}, blockAt(w, 0));
        const std::string before = w.organizer->playlist().toJson();
        keptEdit(w, which);
        EXPECT_TRUE(w.organizer->playlist().toJson() != before) << "edit " << which << " changed nothing";
        shiftPress(w, 2);
        test::expectConsistent(*w.organizer);
    }
}

TEST(OrganizerMarkIn, OnePressStopsAndShowsOnce)
{
    CommandWindow w;
    w.seek(0.5);
    const int generation = w.organizer->playback().generation();
    key(w, Qt::Key_I);
    EXPECT_NEAR(w.item(0, 0).start, 0.5, 1.0 / 30);
    EXPECT_EQ(w.organizer->playback().generation(), generation + 2) << "one stop, one showing";
    EXPECT_EQ(w.organizer->playback().itemOnShow()->start, w.item(0, 0).start);
    test::expectConsistent(*w.organizer);
}

int pick(std::mt19937& random, int count)
{
    return std::uniform_int_distribution<int>(0, count - 1)(random);
}

// One step of the walk, with its name for the trace; a step `onBlocks` acts
// on the blocks `item` and `other` of the current row.
struct Step {
    const char* name;
    std::function<void(CommandWindow&, int item, int other, std::mt19937&)> run;
    bool onBlocks = false;
};

const std::vector<Step>& steps()
{
    using C = OrganizerCommand;
    static const std::vector<Step> all = {
        {"press",
         [](CommandWindow& w, int, int, std::mt19937& random) {
             const std::vector<QRectF> blocks = w.timeline().rects(pick(random, 2));
             if (!blocks.empty())
                 QTest::mouseClick(&w.timeline(), Qt::LeftButton, {},
                                   blocks[size_t(pick(random, int(blocks.size())))].center().toPoint());
         }},
        {"shift press", [](CommandWindow& w, int item, int, std::mt19937&) { shiftPress(w, item); }, true},
        {"ctrl press",
         [](CommandWindow& w, int item, int, std::mt19937&) {
             QTest::mouseClick(&w.timeline(), Qt::LeftButton, Qt::ControlModifier, blockAt(w, item));
         },
         true},
        {"drag",
         [](CommandWindow& w, int item, int other, std::mt19937&) {
             drag(w, blockAt(w, item), blockAt(w, other, 0.9));
         },
         true},
        {"trim",
         [](CommandWindow& w, int item, int, std::mt19937&) { drag(w, blockAt(w, item, 0.99), blockAt(w, item, 0.8)); },
         true},
        {"key",
         [](CommandWindow& w, int, int, std::mt19937& random) {
             key(w, std::array{Qt::Key_Left, Qt::Key_Right, Qt::Key_I, Qt::Key_O, Qt::Key_K}[size_t(pick(random, 5))]);
         }},
        {"select all", [](CommandWindow& w, int, int, std::mt19937&) { key(w, Qt::Key_A, Qt::ControlModifier); }},
        {"apply", [](CommandWindow& w, int, int, std::mt19937&) { w.control<QAbstractButton>("apply")->click(); }},
        {"kept edit", [](CommandWindow& w, int, int, std::mt19937& random) { keptEdit(w, pick(random, 3)); }},
        {"duplicate", [](CommandWindow& w, int, int, std::mt19937&) { w.organizer->perform(C::duplicate); }},
        {"remove", [](CommandWindow& w, int, int, std::mt19937&) { w.organizer->perform(C::removeItems); }},
        {"title",
         [](CommandWindow& w, int, int, std::mt19937&) {
             w.dialogs().asks = {"題"};
             w.organizer->perform(C::addTitle);
         }},
        {"undo", [](CommandWindow& w, int, int, std::mt19937&) { key(w, Qt::Key_Z, Qt::ControlModifier); }},
        {"redo",
         [](CommandWindow& w, int, int, std::mt19937&) { key(w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }},
    };
    return all;
}

class OrganizerGestureWalk : public ::testing::TestWithParam<unsigned> { };

TEST_P(OrganizerGestureWalk, EveryStepLeavesTheWindowConsistent)
{
    CommandWindow w;
    std::mt19937 random(GetParam());
    std::string trail = "seed " + std::to_string(GetParam()) + ":";
    for (int i = 0; i < 40 && !HasFailure(); ++i) {
        const Step& step = steps()[size_t(pick(random, int(steps().size())))];
        trail += std::string(" ") + step.name;
        SCOPED_TRACE(trail);
        const int count = w.organizer->numberOfRows();
        if (count > 0) {
            step.run(w, pick(random, count), pick(random, count), random);
        } else if (!step.onBlocks) {
            step.run(w, -1, -1, random);
        }
        test::expectConsistent(*w.organizer);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OrganizerGestureWalk, ::testing::Values(1u, 2u, 3u));

} // namespace
} // namespace zanto
