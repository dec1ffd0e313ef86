#include "OrganizerTestSupport.h"

#include "organizer/OrganizerOverlay.h"
#include "support/PlaylistSamples.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QWindow>

#include <gtest/gtest.h>

namespace zanto {
namespace {

using test::makeOrganizer;
using test::TempDir;

OrganizerRow namedRow(const std::string& name, int items)
{
    OrganizerRow row;
    row.name = name;
    for (int i = 0; i < items; ++i) {
        OrganizerItem item = test::sampleItem(name + "-" + std::to_string(i));
        item.name = name + " " + std::to_string(i + 1);
        item.start = i;
        item.end = i + 1.5;
        row.items.push_back(item);
    }
    return row;
}

class OrganizerTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        organizer = makeOrganizer(folder.path());
        organizer->openDocument(test::sampleDocument());
        test::expectConsistent(*organizer);
    }
    QString clipInfo() const { return test::control<QLabel>(*organizer, "clipInfo")->text(); }

    TempDir folder;
    std::unique_ptr<Organizer> organizer;
};

TEST_F(OrganizerTable, InspectorShowsTheSelectedItem)
{
    test::change(
        *organizer,
        [](OrganizerDocument& d) {
            d.rows[0].items[0].name = "Goal";
            d.rows[0].items[0].start = 10;
            d.rows[0].items[0].end = 13.5;
        },
        0);
    EXPECT_EQ(clipInfo(), "Goal\n3.50 秒 / 1件選択");
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "nameField")->text(), "Goal");
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "startField")->text(), "10");
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "endField")->text(), "13.5");
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "labelsField")->text(), "攻撃, Set piece");
    EXPECT_TRUE(test::control<QCheckBox>(*organizer, "enabled")->isChecked());
    // Two angles, the current source first; its offset in the offset field.
    ASSERT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->count(), 2);
    EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->itemText(0), "Angle S1");
    EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->itemData(1).toString(), "S2");
    EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->currentIndex(), 0);
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "offsetField")->text(), "-1.5");
    EXPECT_EQ(test::control<OrganizerOverlay>(*organizer, "overlay")->marks(),
              *organizer->playlist().rows[0].items[0].marks);
}

TEST_F(OrganizerTable, NumbersAreShownInTheCLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    test::change(
        *organizer,
        [](OrganizerDocument& d) {
            d.rows[0].items[0].start = 1.25;
            d.rows[0].items[0].end = 12;
        },
        0);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "startField")->text(), "1.25");
    EXPECT_EQ(clipInfo(), "Item I1\n10.75 秒 / 1件選択");
}

TEST_F(OrganizerTable, ALongUnbrokenNameKeepsTheInspectorInItsPane)
{
    test::change(
        *organizer, [](OrganizerDocument& d) { d.rows[0].items[0].name = std::string(400, 'x'); }, 0);
    test::expectConsistent(*organizer);
    test::settle();
    const QWidget* viewport = test::control<QWidget>(*organizer, "infoPanel")->parentWidget()->parentWidget();
    const QRect field = test::control<QLineEdit>(*organizer, "nameField")->geometry();
    const QPoint right =
        test::control<QLineEdit>(*organizer, "nameField")->parentWidget()->mapTo(viewport, field.topRight());
    EXPECT_LE(right.x(), viewport->width()) << "the name field stays within the inspector";
    EXPECT_GE(test::control<QLineEdit>(*organizer, "nameField")->width(), 100);
}

TEST_F(OrganizerTable, LengthsAlwaysHaveTwoDecimals)
{
    test::change(
        *organizer,
        [](OrganizerDocument& d) {
            d.rows[0].items[1].start = 12;
            d.rows[0].items[1].end = 15;
        },
        1);
    EXPECT_EQ(clipInfo(), "Item I2\n3.00 秒 / 1件選択");
}

TEST_F(OrganizerTable, SeveralSelectedLinesShowTheTablesSelectedRow)
{
    organizer->table.selectRowIndexes({0}, false);
    test::expectConsistent(*organizer);
    organizer->table.selectRowIndexes({1, 2}, true);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->table.selectedRow(), 2);
    EXPECT_EQ(organizer->selectedItem()->id, "I3");
    EXPECT_EQ(clipInfo(), "Item I3\n3.00 秒 / 3件選択");
    EXPECT_EQ(test::control<QPlainTextEdit>(*organizer, "noteField")->toPlainText(), "line one\nline two\t\"quoted\"");
}

TEST_F(OrganizerTable, SelectedItemIsNoneWhenTheSelectionPassesTheItems)
{
    organizer->table.selectRowIndexes({2}, false);
    test::expectConsistent(*organizer);
    test::change(*organizer, [](OrganizerDocument& d) { d.rows[0].items.resize(1); });
    test::expectConsistent(*organizer);
    EXPECT_FALSE(organizer->selectedItem().has_value());
    EXPECT_EQ(organizer->numberOfRows(), 1);
}

TEST_F(OrganizerTable, EmptyRowShowsTheChooseState)
{
    test::change(
        *organizer, [](OrganizerDocument& d) { d.rows.push_back(namedRow("空", 0)); }, 0);
    test::expectConsistent(*organizer);
    organizer->rowChoice.selectItem(2);
    organizer->rowChanged();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->numberOfRows(), 0);
    EXPECT_EQ(organizer->table.numberOfRows(), 0);
    EXPECT_FALSE(organizer->selectedItem().has_value());
    EXPECT_EQ(clipInfo(), "クリップを選択してください");
    EXPECT_TRUE(test::control<QLineEdit>(*organizer, "nameField")->text().isEmpty());
    EXPECT_TRUE(test::control<QLineEdit>(*organizer, "startField")->text().isEmpty());
    EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->count(), 0);
}

// Angles of an item: its source ids against the playlist's sources.
struct AngleCase {
    const char* name;
    std::vector<std::string> sourceIDs;
    std::string sourceID;
    std::vector<std::string> titles;
    int selected;
    const char* offset;
};

class OrganizerAngles : public OrganizerTable, public ::testing::WithParamInterface<AngleCase> { };

TEST_P(OrganizerAngles, ListsEveryAngleOfTheItem)
{
    const AngleCase& c = GetParam();
    test::change(
        *organizer,
        [&c](OrganizerDocument& d) {
            // A title item may name sources the playlist does not have.
            d.rows[0].items[0].kind = "title";
            d.rows[0].items[0].sourceIDs = c.sourceIDs;
            d.rows[0].items[0].sourceID = c.sourceID;
        },
        0);
    test::expectConsistent(*organizer);
    ASSERT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->count(), static_cast<int>(c.titles.size()));
    for (size_t i = 0; i < c.titles.size(); ++i) {
        EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->itemText(int(i)).toStdString(), c.titles[i]);
        EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->itemData(int(i)).toString().toStdString(),
                  c.sourceIDs[i]);
    }
    EXPECT_EQ(test::control<QComboBox>(*organizer, "angleChoice")->currentIndex(), c.selected);
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "offsetField")->text().toStdString(), c.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerAngles,
    ::testing::Values(AngleCase{"Second", {"S1", "S2"}, "S2", {"Angle S1", "Angle S2"}, 1, "12.25"},
                      AngleCase{"CurrentNotListed", {"S1", "S2"}, "S9", {"Angle S1", "Angle S2"}, 0, "0"},
                      AngleCase{"UnknownListedById", {"S7", "S1"}, "S1", {"S7", "Angle S1"}, 1, "-1.5"},
                      AngleCase{"None", {}, "S1", {}, -1, "-1.5"}),
    [](const auto& info) { return std::string(info.param.name); });

// Which row a reload shows after rows changed.
struct RowKeepCase {
    const char* name;
    int rows;
    int shown;
    std::function<void(OrganizerDocument&)> edit;
    int expected;
};

class OrganizerRowKept : public OrganizerTable, public ::testing::WithParamInterface<RowKeepCase> { };

TEST_P(OrganizerRowKept, ReloadKeepsThePositionOfTheRowPopUp)
{
    const RowKeepCase& c = GetParam();
    test::change(*organizer, [&c](OrganizerDocument& d) {
        d.rows.clear();
        for (int i = 0; i < c.rows; ++i) d.rows.push_back(namedRow("R" + std::to_string(i), 2));
    });
    organizer->rowChoice.selectItem(c.shown);
    test::change(*organizer, c.edit);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->currentRow(), c.expected);
    EXPECT_EQ(organizer->rowChoice.numberOfItems(), static_cast<int>(organizer->playlist().rows.size()));
    for (size_t i = 0; i < organizer->playlist().rows.size(); ++i) {
        EXPECT_EQ(organizer->rowChoice.itemTitles()[i], organizer->playlist().rows[i].name);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerRowKept,
                         ::testing::Values(RowKeepCase{"Unchanged", 3, 1, [](OrganizerDocument&) {}, 1},
                                           RowKeepCase{"RowsOfTheSameName", 3, 2,
                                                       [](OrganizerDocument& d) {
                                                           for (auto& row : d.rows) row.name = "同じ名前";
                                                       },
                                                       2},
                                           RowKeepCase{"RowBeforeRemoved", 3, 2,
                                                       [](OrganizerDocument& d) { d.rows.erase(d.rows.begin()); }, 1},
                                           RowKeepCase{"ShownRowGone", 3, 2,
                                                       [](OrganizerDocument& d) { d.rows.resize(1); }, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

class OrganizerExtendOutside : public OrganizerTable, public ::testing::WithParamInterface<int> { };

TEST_P(OrganizerExtendOutside, AnIndexOutsideTheRowLeavesTheSelection)
{
    organizer->table.selectRowIndexes({1}, false);
    test::expectConsistent(*organizer);
    organizer->table.selectRowIndexes({GetParam()}, true);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->table.selectedRowIndexes(), std::set<int>{1});
    EXPECT_EQ(organizer->selectedItem()->id, "I2");
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExtendOutside, ::testing::Values(3, -1, 100));

TEST_F(OrganizerTable, ReloadWithAFocusReplacesTheSelection)
{
    organizer->table.selectRowIndexes({0, 1, 2}, false);
    test::expectConsistent(*organizer);
    organizer->reload({.select = std::vector<std::string>{"I3", "elsewhere"}});
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->table.selectedRowIndexes(), std::set<int>{2});
}

// The playlist's title in the title bar, exactly as the user typed it.
struct TitleCase {
    const char* name;
    const char* title;
    const char* shown;
};

class OrganizerWindowTitle : public OrganizerTable, public ::testing::WithParamInterface<TitleCase> { };

TEST_P(OrganizerWindowTitle, FollowsThePlaylist)
{
    test::change(*organizer, [this](OrganizerDocument& d) { d.title = GetParam().title; });
    test::expectConsistent(*organizer);
    ASSERT_NE(organizer->window()->windowHandle(), nullptr);
    EXPECT_EQ(organizer->window()->windowHandle()->title(), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerWindowTitle,
                         ::testing::Values(TitleCase{"Plain", "Match", "ZANTORIX / Match — ORGANIZER"},
                                           TitleCase{"Empty", "", "ZANTORIX /  — ORGANIZER"},
                                           TitleCase{"Japanese", "前半の守備", "ZANTORIX / 前半の守備 — ORGANIZER"},
                                           TitleCase{"Placeholder", "Match [*] 2",
                                                     "ZANTORIX / Match [*] 2 — ORGANIZER"},
                                           TitleCase{"TwoPlaceholders", "[*][*]", "ZANTORIX / [*][*] — ORGANIZER"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerTable, ASelectionChangeRefillsTheInspectorAndStopsPlayback)
{
    organizer->table.selectRowIndexes({0}, false);
    test::expectConsistent(*organizer);
    const int generation = organizer->playback().generation();
    organizer->table.selectRowIndexes({1}, false);
    test::expectConsistent(*organizer);
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "nameField")->text(), "Item I2");
    EXPECT_GT(organizer->playback().generation(), generation);
    EXPECT_TRUE(test::control<OrganizerOverlay>(*organizer, "overlay")->marks().empty());
    organizer->table.deselectAll();
    test::expectConsistent(*organizer);
    EXPECT_EQ(clipInfo(), "クリップを選択してください");
}

TEST_F(OrganizerTable, ClearingTheInspectorKeepsEnabledAndOffset)
{
    organizer->rowChoice.selectItem(1);
    test::change(
        *organizer, [](OrganizerDocument& d) { d.rows[1].items[1].enabled = false; }, 1);
    test::expectConsistent(*organizer);
    EXPECT_FALSE(test::control<QCheckBox>(*organizer, "enabled")->isChecked());
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "offsetField")->text(), "12.25");
    organizer->table.deselectAll();
    test::expectConsistent(*organizer);
    EXPECT_FALSE(test::control<QCheckBox>(*organizer, "enabled")->isChecked());
    EXPECT_EQ(test::control<QLineEdit>(*organizer, "offsetField")->text(), "12.25");
}

TEST(OrganizerItemTable, SelectedRowIsTheLastOneSelected)
{
    OrganizerItemTable table;
    int notified = 0;
    table.selectionDidChange = [&] { ++notified; };
    table.reloadData(5);
    EXPECT_EQ(table.selectedRow(), -1);
    table.selectRowIndexes({3}, false);
    table.selectRowIndexes({1}, true);
    EXPECT_EQ(table.selectedRow(), 1);
    EXPECT_EQ(table.numberOfSelectedRows(), 2);
    EXPECT_EQ(notified, 2);
    table.selectRowIndexes({1}, true);
    EXPECT_EQ(notified, 2) << "an unchanged selection is not announced";
    table.selectRowIndexes({7, -2}, false);
    EXPECT_TRUE(table.selectedRowIndexes().empty()) << "lines outside the table are not selected";
    table.selectRowIndexes({2, 4}, false);
    table.reloadData(3);
    EXPECT_EQ(table.selectedRowIndexes(), std::set<int>{2});
    EXPECT_EQ(table.selectedRow(), 2);
    EXPECT_EQ(OrganizerItemTable::columns().size(), 2u);
    EXPECT_EQ(OrganizerItemTable::columns()[1].title, "時間");
}

TEST(OrganizerRowChoice, BehavesLikeAPopUp)
{
    OrganizerRowChoice choice;
    EXPECT_EQ(choice.indexOfSelectedItem(), -1);
    choice.addItem("A");
    EXPECT_EQ(choice.indexOfSelectedItem(), 0);
    choice.addItem("B");
    choice.selectItem(1);
    EXPECT_EQ(choice.indexOfSelectedItem(), 1);
    choice.selectItem(2);
    EXPECT_EQ(choice.indexOfSelectedItem(), -1);
    choice.removeAllItems();
    EXPECT_EQ(choice.numberOfItems(), 0);
    EXPECT_EQ(choice.indexOfSelectedItem(), -1);
}

TEST(OrganizerSeconds, ShortestTextThatReadsBack)
{
    EXPECT_EQ(organizerSeconds(10), "10");
    EXPECT_EQ(organizerSeconds(13.5), "13.5");
    EXPECT_EQ(organizerSeconds(0.1), "0.1");
    EXPECT_EQ(organizerSeconds(-1.5), "-1.5");
    EXPECT_EQ(organizerSeconds(-0.0), "0");
    EXPECT_EQ(organizerSeconds(864000), "864000");
    EXPECT_EQ(organizerSeconds(1e-7).toDouble(), 1e-7);
    EXPECT_EQ(organizerSeconds(1.0 / 3.0).toDouble(), 1.0 / 3.0);
}

} // namespace
} // namespace zanto
