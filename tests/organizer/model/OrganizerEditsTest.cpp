#include "organizer/model/OrganizerEdits.h"

#include "support/PlaylistSamples.h"

#include <gtest/gtest.h>

namespace zanto {
namespace {

// Each edit against the sample document: the ids of each row afterwards.
struct EditCase {
    const char* name;
    std::function<OrganizerDocument(const OrganizerDocument&)> edit;
    std::vector<std::vector<std::string>> ids;
};

std::vector<std::vector<std::string>> idsOf(const OrganizerDocument& document)
{
    std::vector<std::vector<std::string>> result;
    for (const OrganizerRow& row : document.rows) {
        result.emplace_back();
        for (const OrganizerItem& item : row.items) result.back().push_back(item.id);
    }
    return result;
}

class OrganizerEditsTable : public ::testing::TestWithParam<EditCase> {};

TEST_P(OrganizerEditsTable, LeavesTheInputAloneAndGivesAValidDocument)
{
    const OrganizerDocument original = test::sampleDocument();
    const OrganizerDocument input = original;
    const OrganizerDocument result = GetParam().edit(input);
    EXPECT_EQ(input, original);
    EXPECT_EQ(idsOf(result), GetParam().ids);
    EXPECT_EQ(edits::refusal(result), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerEditsTable,
    ::testing::Values(
        EditCase{"RemoveTwoOfRowZero", [](auto& d) { return edits::removingItems(d, 0, {"I1", "I3"}); },
                 {{"I2"}, {"I4", "I5"}}},
        EditCase{"RemoveFromAMissingRow", [](auto& d) { return edits::removingItems(d, 7, {"I1"}); },
                 {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"ReplaceKeepsThePlace",
                 [](auto& d) {
                     OrganizerItem item = d.rows[1].items[1];
                     item.name = "new";
                     return edits::replacingItem(d, item);
                 },
                 {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"AddRow", [](auto& d) { return edits::addingRow(d, "new"); }, {{"I1", "I2", "I3"}, {"I4", "I5"}, {}}},
        EditCase{"RemoveFirstRow", [](auto& d) { return edits::removingRow(d, 0); }, {{"I4", "I5"}}},
        EditCase{"MoveRowUp", [](auto& d) { return edits::movingRow(d, 1, -1); }, {{"I4", "I5"}, {"I1", "I2", "I3"}}},
        EditCase{"MoveFirstRowUp", [](auto& d) { return edits::movingRow(d, 0, -1); },
                 {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"InsertPastTheEnd",
                 [](auto& d) { return edits::insertingItems(d, 1, 9, {test::sampleItem("N", "title", "")}); },
                 {{"I1", "I2", "I3"}, {"I4", "I5", "N"}}},
        EditCase{"RemoveAtIndexes", [](auto& d) { return edits::removingItemsAt(d, 0, {0, 2, 5}); },
                 {{"I2"}, {"I4", "I5"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrganizerEdits, DuplicatesAppendCopiesInAscendingOrderUnderNewIds)
{
    const OrganizerDocument document = test::sampleDocument();
    const OrganizerDocument result = edits::duplicatingItems(document, 0, {2, 0});
    ASSERT_EQ(result.rows[0].items.size(), 5u);
    for (const auto& [copy, original] : {std::pair{3, 0}, std::pair{4, 2}}) {
        OrganizerItem item = result.rows[0].items[static_cast<size_t>(copy)];
        EXPECT_NE(item.id, document.rows[0].items[static_cast<size_t>(original)].id);
        item.id = document.rows[0].items[static_cast<size_t>(original)].id;
        EXPECT_EQ(item, document.rows[0].items[static_cast<size_t>(original)]) << "all else copied";
    }
    EXPECT_EQ(edits::imageItem("/slides/a.b.png").name, "a.b");
}

TEST(OrganizerEdits, FindsItemsByIdAndRefusesInvalidDocuments)
{
    const OrganizerDocument document = test::sampleDocument();
    EXPECT_EQ(edits::findItem(document, "I5"), (OrganizerItemPlace{1, 1}));
    EXPECT_EQ(edits::findItem(document, "none"), std::nullopt);
    EXPECT_EQ(edits::replacingItem(document, test::sampleItem("none")), document);

    OrganizerDocument tooMany = document;
    tooMany.rows.resize(1001);
    EXPECT_EQ(edits::refusal(tooMany), "未対応のプレイリストです。");
}

} // namespace
} // namespace zanto
