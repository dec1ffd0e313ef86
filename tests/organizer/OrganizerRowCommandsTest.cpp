#include "OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"

#include <gtest/gtest.h>

namespace zanto {
namespace {

// Rows "A", "B", "C"; the command runs on `row` with the answers given.
struct RowCase {
    const char* name;
    int row;
    std::deque<std::optional<QString>> asks;
    std::deque<int> alerts;
    OrganizerCommand command;
    std::vector<std::string> names; // afterwards
    int current;                    // row chosen afterwards
};

void PrintTo(const RowCase& c, std::ostream* out)
{
    *out << c.name;
}

class OrganizerRowCommands : public test::OrganizerFixture, public ::testing::WithParamInterface<RowCase> {
protected:
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const OrganizerRow& row : organizer->playlist().rows) result.push_back(row.name);
        return result;
    }
};

TEST_P(OrganizerRowCommands, ChangeTheRowsAndTheChosenRow)
{
    const RowCase& c = GetParam();
    OrganizerDocument document = test::sampleDocument();
    document.rows[0].name = "A";
    document.rows[1].name = "B";
    document.rows.push_back(edits::addingRow(document, "C").rows.back());
    ASSERT_TRUE(organizer->openDocument(document));
    organizer->rowChoice.selectItem(c.row);
    organizer->rowChanged();
    test::expectConsistent(*organizer);
    dialogs().asks = c.asks;
    dialogs().alerts = c.alerts;
    EXPECT_TRUE(organizer->perform(c.command));
    test::expectConsistent(*organizer);
    EXPECT_EQ(names(), c.names);
    EXPECT_EQ(organizer->currentRow(), c.current);
    EXPECT_EQ(organizer->rowChoice.itemTitles(), c.names);
}

using Names = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerRowCommands,
    ::testing::Values(
        RowCase{"AddChoosesTheNewRow", 0, {"D"}, {}, OrganizerCommand::addRow, Names{"A", "B", "C", "D"}, 3},
        RowCase{"AddCancelled", 0, {}, {}, OrganizerCommand::addRow, Names{"A", "B", "C"}, 0},
        RowCase{"Rename", 1, {"X"}, {}, OrganizerCommand::renameRow, Names{"A", "X", "C"}, 1},
        RowCase{"RemoveTheLastShowsTheNewLast", 2, {}, {1}, OrganizerCommand::removeRow, Names{"A", "B"}, 1},
        RowCase{"RemoveTheFirstShowsTheNext", 0, {}, {1}, OrganizerCommand::removeRow, Names{"B", "C"}, 0},
        RowCase{"RemoveCancelled", 0, {}, {0}, OrganizerCommand::removeRow, Names{"A", "B", "C"}, 0},
        RowCase{"DownKeepsTheRowChosen", 1, {}, {}, OrganizerCommand::rowDown, Names{"A", "C", "B"}, 2},
        RowCase{"UpOnTheFirstRow", 0, {}, {}, OrganizerCommand::rowUp, Names{"A", "B", "C"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerRowCommands, LimitsAndTheLastRowRefuseWithoutChange)
{
    organizer->perform(OrganizerCommand::removeRow);
    EXPECT_EQ(organizer->statusText(), "最後の1行は削除できません。");
    OrganizerDocument full;
    full.rows.resize(1000);
    ASSERT_TRUE(organizer->openDocument(full));
    dialogs().asks = {"one too many"};
    organizer->perform(OrganizerCommand::addRow);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), full);
    EXPECT_EQ(organizer->statusText(), "未対応のプレイリストです。");

    full = OrganizerDocument();
    while (full.rows[0].items.size() < 10000) full.rows[0].items.push_back(edits::titleItem("t"));
    ASSERT_TRUE(organizer->openDocument(full));
    organizer->table.selectRowIndexes({0}, false);
    organizer->perform(OrganizerCommand::duplicate);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), full);
    EXPECT_TRUE(organizer->undoStates().empty());
}

} // namespace
} // namespace zanto
