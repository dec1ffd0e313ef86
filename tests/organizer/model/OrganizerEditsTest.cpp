#include "organizer/model/OrganizerEdits.h"

#include "support/PlaylistSamples.h"
#include "support/TempDir.h"

#include "services/ExportFailure.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <fstream>
#include <limits>

namespace zanto {
namespace {

using test::idsOf;

// Each edit against the sample document: the ids of each row afterwards.
struct EditCase {
    const char* name;
    std::function<OrganizerDocument(const OrganizerDocument&)> edit;
    std::vector<std::vector<std::string>> ids;
};

OrganizerDocument cut(const OrganizerDocument& d, double f)
{
    return edits::cuttingFreeze(d, "I1", edits::freezeOf(d.rows[0].items[0], f, "F"), "T");
}

class OrganizerEditsTable : public ::testing::TestWithParam<EditCase> { };

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
        EditCase{"RemoveTwoOfRowZero",
                 [](auto& d) {
                     return edits::removingItems(d, 0, {"I1", "I3"});
                 },
                 {{"I2"}, {"I4", "I5"}}},
        EditCase{"RemoveFromAMissingRow",
                 [](auto& d) { return edits::removingItems(d, 7, {"I1"}); },
                 {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"ReplaceKeepsThePlace",
                 [](auto& d) {
                     OrganizerItem item = d.rows[1].items[1];
                     item.name = "new";
                     return edits::replacingItem(d, item);
                 },
                 {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"CutInTheMiddle", [](auto& d) { return cut(d, 2.5); }, {{"I1", "F", "T", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{
            "CutAtTheStartHasNoHead", [](auto& d) { return cut(d, 1.0005); }, {{"F", "T", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{
            "CutOfAMissingVideo",
            [](auto& d) { return edits::cuttingFreeze(d, "none", edits::freezeOf(d.rows[0].items[0], 2, "F"), "T"); },
            {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"AddRow", [](auto& d) { return edits::addingRow(d, "new"); }, {{"I1", "I2", "I3"}, {"I4", "I5"}, {}}},
        EditCase{"RemoveFirstRow", [](auto& d) { return edits::removingRow(d, 0); }, {{"I4", "I5"}}},
        EditCase{"MoveRowUp", [](auto& d) { return edits::movingRow(d, 1, -1); }, {{"I4", "I5"}, {"I1", "I2", "I3"}}},
        EditCase{
            "MoveFirstRowUp", [](auto& d) { return edits::movingRow(d, 0, -1); }, {{"I1", "I2", "I3"}, {"I4", "I5"}}},
        EditCase{"InsertPastTheEnd",
                 [](auto& d) { return edits::insertingItems(d, 1, 9, {test::sampleItem("N", "title", "")}); },
                 {{"I1", "I2", "I3"}, {"I4", "I5", "N"}}},
        EditCase{"RemoveSkipsUnknownIds",
                 [](auto& d) {
                     return edits::removingItems(d, 0, {"I1", "I3", "none"});
                 },
                 {{"I2"}, {"I4", "I5"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrganizerEdits, DuplicatesAppendCopiesInAscendingOrderUnderNewIds)
{
    const OrganizerDocument document = test::sampleDocument();
    const OrganizerDocument result = edits::duplicatingItems(document, 0, {"I3", "I1"});
    ASSERT_EQ(result.rows[0].items.size(), 5u);
    for (const auto& [copy, original] : {std::pair{3, 0}, std::pair{4, 2}}) {
        OrganizerItem item = result.rows[0].items[static_cast<size_t>(copy)];
        EXPECT_NE(item.id, document.rows[0].items[static_cast<size_t>(original)].id);
        item.id = document.rows[0].items[static_cast<size_t>(original)].id;
        EXPECT_EQ(item, document.rows[0].items[static_cast<size_t>(original)]) << "all else copied";
    }
    EXPECT_EQ(edits::imageItem("/slides/a.b.png").name, "a.b");
}

TEST(OrganizerEdits, FreezeTimesAndPiecesOfACut)
{
    OrganizerItem clip = test::sampleItem("V");
    clip.start = 5;
    clip.end = 20;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double player, offset, f;
    } cases[] = {{12, 2, 10}, {5, 0, 5}, {25, 0, 20 - 0.03333333333333333}, {nan, 2, 5}, {-3, 0, 5}};
    for (const auto& c : cases) EXPECT_EQ(edits::freezeTime(clip, c.player, c.offset), c.f) << c.player;

    // The document outlives the references into its rows.
    const OrganizerDocument document = test::sampleDocument();
    const OrganizerDocument result = cut(document, 2.5);
    const auto& pieces = result.rows[0].items;
    ASSERT_GE(pieces.size(), 3u);
    EXPECT_EQ((std::vector<double>{pieces[0].end, *pieces[1].freezeTime, pieces[2].start}),
              (std::vector<double>{2.5, 2.5, 2.5}));
    const auto& marks = document.rows[0].items[0].marks;
    ASSERT_TRUE(marks && !marks->empty());
    EXPECT_EQ(pieces[0].marks, marks) << "both pieces keep the video's marks";
    EXPECT_EQ(pieces[2].marks, marks) << "both pieces keep the video's marks";
}

TEST(OrganizerEdits, MaterialsSpanTheirFirstAndLastPointsTwelvePerStill)
{
    const OrganizerMark rings = edits::materialMark("Team Rings");
    EXPECT_EQ((std::vector<double>{rings.x, rings.y, rings.x2, rings.y2}), (std::vector<double>{0.35, 0.35, 0.4, 0.6}));
    // I1 holds two plain marks and one telestration mark.
    OrganizerDocument document = test::sampleDocument();
    for (int i = 0; i < 11; ++i) document = edits::addingMaterial(document, "I1", edits::materialMark("Spotlight"));
    EXPECT_EQ(document.rows[0].items[0].marks->size(), 14u);
    try {
        edits::addingMaterial(document, "I1", edits::materialMark("Spotlight"));
        ADD_FAILURE() << "the thirteenth material is refused";
    } catch (const ExportFailure& failure) {
        EXPECT_EQ(failure.message, "1枚の静止画の素材は12個までです。");
    }
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

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

TEST(OrganizerEdits, ExactIntegersOnly)
{
    const QJsonObject values = json(R"({"three": 3, "threePointZero": 3.0, "big": 9007199254740993,
        "min": -9223372036854775808, "half": 1.5, "text": "123", "yes": true, "huge": 9223372036854775808})");
    EXPECT_EQ(edits::exactInteger(values["three"]), 3);
    EXPECT_EQ(edits::exactInteger(values["threePointZero"]), 3);
    EXPECT_EQ(edits::exactInteger(values["big"]), INT64_C(9007199254740993));
    EXPECT_EQ(edits::exactInteger(values["min"]), INT64_MIN);
    for (const char* refused : {"half", "text", "yes", "huge", "missing"})
        EXPECT_EQ(edits::exactInteger(values[refused]), std::nullopt) << refused;
}

// One append body against the sample document, whose row 1 takes the items.
// Sources read "name@path" (path relative to the registry folder, "" unlinked);
// items "name|note|labels" with labels joined by "," or "-" for none.
struct AppendCase {
    const char* name;
    const char* body;
    std::vector<std::string> sources;
    std::vector<std::string> items;
    bool ignored = false;
};

class OrganizerAppendRules : public ::testing::TestWithParam<AppendCase> { };

TEST_P(OrganizerAppendRules, TakesWhatIsUsable)
{
    const test::TempDir folder;
    for (const auto& [name, size] : {std::pair{"old/a.mp4", 10}, {"new/a.mp4", 10}, {"old/b.mp4", 7}}) {
        std::filesystem::create_directories((folder / name).parent_path());
        std::ofstream(folder / name) << std::string(size_t(size), 'x');
    }
    const std::vector<std::filesystem::path> media{folder / "old/a.mp4", folder / "new/a.mp4", folder / "old/b.mp4"};
    const OrganizerDocument document = test::sampleDocument();
    const std::optional<edits::Appended> result = edits::appending(document, 1, json(GetParam().body), media);
    ASSERT_EQ(!result, GetParam().ignored);
    if (!result) return;

    const auto& sources = result->document.sources;
    ASSERT_EQ(sources.size(), document.sources.size() + GetParam().sources.size());
    std::vector<std::string> newIds;
    for (size_t i = 0; i < GetParam().sources.size(); ++i) {
        const OrganizerSource& source = sources[document.sources.size() + i];
        const std::string path =
            source.path.empty() ? "" : std::filesystem::relative(source.path, folder.path()).string();
        EXPECT_EQ(source.name + "@" + path, GetParam().sources[i]);
        EXPECT_EQ(source.id.size(), 36u);
        newIds.push_back(source.id);
    }
    const auto& items = result->document.rows[1].items;
    ASSERT_EQ(items.size(), document.rows[1].items.size() + GetParam().items.size());
    EXPECT_EQ(result->items, int(GetParam().items.size()));
    EXPECT_EQ(result->document.rows[0], document.rows[0]);
    for (size_t i = 0; i < GetParam().items.size(); ++i) {
        const OrganizerItem& item = items[document.rows[1].items.size() + i];
        std::string labels = item.labels ? "" : "-";
        for (const std::string& label : item.labels.value_or(std::vector<std::string>{}))
            labels += (labels.empty() ? "" : ",") + label;
        EXPECT_EQ(item.name + "|" + item.note + "|" + labels, GetParam().items[i]);
        EXPECT_EQ(item.sourceIDs, newIds);
        EXPECT_EQ(item.sourceID, newIds.front());
        EXPECT_EQ(item.kind, "video");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerAppendRules,
    ::testing::Values(
        AppendCase{"TwoSourcesThreeClips",
                   R"({"title": "試合", "sources": [{"name": "a.mp4", "size": 10, "id": "x", "title": "Cam A"},
                       {"name": "b.mp4", "size": 7.0, "id": "y", "duration": 9}],
                       "clips": [{"start": 1, "end": 2, "name": "A", "note": "n", "labels": ["攻撃"]},
                       {"start": 3, "end": 4}, {"start": 5, "end": 6, "labels": ["x", 3]}]})",
                   {"試合 / Cam A@new/a.mp4", "試合 / b.mp4@old/b.mp4"},
                   {"A|n|攻撃", "クリップ||-", "クリップ||-"}},
        AppendCase{"ClipLackingEndIsSkipped",
                   R"({"sources": [{"name": "a.mp4", "size": 11, "id": "x"}],
                       "clips": [{"start": 1, "labels": ["a"]}, {"start": 1, "end": "2"}, {"start": 0, "end": 1, "labels": []},
                       {"start": 0, "end": 1, "labels": "b"}]})",
                   {" / a.mp4@"},
                   {"クリップ||", "クリップ||-"}},
        AppendCase{
            "NoUsableSourceSkipsEveryClip",
            R"({"title": 7, "sources": [{"name": "a.mp4", "size": "10", "id": "x"}, {"name": "a.mp4", "size": 1.5, "id": "x"},
                       {"name": "a.mp4", "size": true, "id": "x"}, {"name": "a.mp4", "size": 10}, {"size": 10, "id": "x"}],
                       "clips": [{"start": 1, "end": 2}]})",
            {},
            {}},
        AppendCase{"ANonObjectSourceIgnoresTheBody",
                   R"({"sources": [{"name": "a.mp4", "size": 10, "id": "x"}, 3], "clips": []})",
                   {},
                   {},
                   true},
        AppendCase{"ClipsNotAListIgnoresTheBody", R"({"sources": [], "clips": {"start": 1, "end": 2}})", {}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto
