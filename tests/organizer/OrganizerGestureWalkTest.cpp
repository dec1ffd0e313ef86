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

using C = OrganizerCommand;
using test::CommandWindow;

QPoint blockAt(CommandWindow& w, int row, int item, double across = 0.5)
{
    const QRectF block = w.timeline().rects(row)[size_t(item)];
    return QPointF(block.left() + block.width() * across, block.center().y()).toPoint();
}

void click(CommandWindow& w, QPoint at, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(&w.timeline(), Qt::LeftButton, modifiers, at);
}

// A press, a move with the button held and a release: a drag as the platform sends it.
void drag(CommandWindow& w, QPoint from, QPoint to)
{
    auto send = [&](QEvent::Type type, QPoint at) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, w.timeline().mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&w.timeline(), &event);
    };
    send(QEvent::MouseButtonPress, from);
    send(QEvent::MouseMove, to);
    send(QEvent::MouseButtonRelease, to);
}

void key(CommandWindow& w, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(w.organizer->window()->windowHandle(), key, modifiers);
}

// A Shift press in the current row selects from the table's selected line to
// the pressed block, whatever came before.
void shiftPress(CommandWindow& w, int item)
{
    const int anchor = w.organizer->table.selectedRow();
    click(w, blockAt(w, w.organizer->currentRow(), item), Qt::ShiftModifier);
    if (anchor < 0) return;
    std::set<int> range;
    for (int i = std::min(anchor, item); i <= std::max(anchor, item); ++i) range.insert(i);
    EXPECT_EQ(w.organizer->table.selectedRowIndexes(), range) << "from line " << anchor << " to " << item;
}

struct KeptEdit {
    const char* name;
    std::function<void(CommandWindow&)> run;
};

void PrintTo(const KeptEdit& edit, std::ostream* out)
{
    *out << edit.name;
}

class OrganizerKeptEdit : public ::testing::TestWithParam<KeptEdit> { };

TEST_P(OrganizerKeptEdit, AShiftPressAfterItStartsFromTheSelectedLine)
{
    CommandWindow w;
    click(w, blockAt(w, 0, 0));
    const std::string before = w.organizer->playlist().toJson();
    GetParam().run(w);
    EXPECT_NE(w.organizer->playlist().toJson(), before);
    test::expectConsistent(*w.organizer);
    shiftPress(w, 2);
    test::expectConsistent(*w.organizer);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, OrganizerKeptEdit,
    ::testing::Values(KeptEdit{"Offset",
                               [](CommandWindow& w) {
                                   w.control<QLineEdit>("offsetField")->setText("0.1");
                                   w.control<QAbstractButton>("applyOffset")->click();
                               }},
                      KeptEdit{"Relink",
                               [](CommandWindow& w) {
                                   w.dialogs().files = {{QString::fromStdString((test::media() / "other.mp4").string())}};
                                   w.control<QAbstractButton>("relink")->click();
                               }},
                      KeptEdit{"Mark", [](CommandWindow& w) { w.control<QAbstractButton>("undoMark")->click(); }}),
    [](const auto& info) { return std::string(info.param.name); });

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

// One step of the walk: its name for the trace, and the step itself.
struct Step {
    const char* name;
    std::function<void(CommandWindow&, std::mt19937&)> run;
};

int pick(std::mt19937& random, int count)
{
    return std::uniform_int_distribution<int>(0, count - 1)(random);
}

// A random block of the current row, or none when the row is empty.
std::optional<int> someItem(CommandWindow& w, std::mt19937& random)
{
    const int count = w.organizer->numberOfRows();
    return count > 0 ? std::optional<int>(pick(random, count)) : std::nullopt;
}

const std::vector<Step>& steps()
{
    static const std::vector<Step> all = {
        {"press",
         [](CommandWindow& w, std::mt19937& random) {
             const int row = pick(random, int(w.organizer->playlist().rows.size()));
             const int count = int(w.count(row));
             if (count > 0) click(w, blockAt(w, row, pick(random, count)));
         }},
        {"shift press",
         [](CommandWindow& w, std::mt19937& random) {
             if (const auto item = someItem(w, random)) shiftPress(w, *item);
         }},
        {"ctrl press",
         [](CommandWindow& w, std::mt19937& random) {
             if (const auto item = someItem(w, random))
                 click(w, blockAt(w, w.organizer->currentRow(), *item), Qt::ControlModifier);
         }},
        {"drag",
         [](CommandWindow& w, std::mt19937& random) {
             const auto from = someItem(w, random);
             const auto to = someItem(w, random);
             const int row = w.organizer->currentRow();
             if (from && to) drag(w, blockAt(w, row, *from), blockAt(w, row, *to, 0.9));
         }},
        {"trim",
         [](CommandWindow& w, std::mt19937& random) {
             const auto item = someItem(w, random);
             const int row = w.organizer->currentRow();
             if (item) drag(w, blockAt(w, row, *item, 0.99), blockAt(w, row, *item, 0.8));
         }},
        {"key",
         [](CommandWindow& w, std::mt19937& random) {
             static const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_I, Qt::Key_O, Qt::Key_K};
             key(w, keys[pick(random, 5)]);
         }},
        {"select all", [](CommandWindow& w, std::mt19937&) { key(w, Qt::Key_A, Qt::ControlModifier); }},
        {"apply", [](CommandWindow& w, std::mt19937&) { w.control<QAbstractButton>("apply")->click(); }},
        {"offset",
         [](CommandWindow& w, std::mt19937& random) {
             w.control<QLineEdit>("offsetField")->setText(QString::number(pick(random, 3) / 10.0));
             w.control<QAbstractButton>("applyOffset")->click();
         }},
        {"mark", [](CommandWindow& w, std::mt19937&) { w.control<QAbstractButton>("undoMark")->click(); }},
        {"duplicate", [](CommandWindow& w, std::mt19937&) { w.organizer->perform(C::duplicate); }},
        {"remove", [](CommandWindow& w, std::mt19937&) { w.organizer->perform(C::removeItems); }},
        {"title",
         [](CommandWindow& w, std::mt19937&) {
             w.dialogs().asks = {"題"};
             w.organizer->perform(C::addTitle);
         }},
        {"undo", [](CommandWindow& w, std::mt19937&) { key(w, Qt::Key_Z, Qt::ControlModifier); }},
        {"redo", [](CommandWindow& w, std::mt19937&) { key(w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }},
    };
    return all;
}

class OrganizerGestureWalk : public ::testing::TestWithParam<unsigned> { };

TEST_P(OrganizerGestureWalk, EveryStepLeavesTheWindowConsistent)
{
    CommandWindow w;
    std::mt19937 random(GetParam());
    std::string trail;
    for (int i = 0; i < 40 && !HasFailure(); ++i) {
        const Step& step = steps()[size_t(pick(random, int(steps().size())))];
        trail += std::string(trail.empty() ? "" : ", ") + step.name;
        SCOPED_TRACE("seed " + std::to_string(GetParam()) + ": " + trail);
        step.run(w, random);
        test::expectConsistent(*w.organizer);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OrganizerGestureWalk, ::testing::Values(1u, 2u, 3u));

} // namespace
} // namespace zanto
