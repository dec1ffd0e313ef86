#include "playlist/OrganizerDocument.h"

#include <random>
#include <regex>
#include <unordered_set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PlaylistFileFixtures.h"
#include "support/TempDir.h"

namespace zanto {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::outcomeOf;
using test::TempDir;

const std::string unreadable = "failure:このSCPlaylistを解析できません。";
const std::string M1 = "failure:未対応のプレイリストです。";
const std::string M2 = "failure:プレイリストの区間または映像の参照が不正です。";
const std::vector<std::string> importWarnings = {
    "SCPlaylistの行・順番・区間・メモ・アングル名・タイトル文字を取り込みました。",
    "映像は含まれていません。「映像を再接続」で各アングルの連続したMP4/MOVを指定してください。"
    "分割されたSCVideoは先に連続動画に書き出してください。",
    "Sportscodeの描画効果・別アングル音声・タイトル装飾は再現しません。音声は選択映像の音声です。"
    "非表示タイトルはチェックを外して保持します。",
};

fs::path writePlaylist(const fs::path& folder, const std::string& bytes)
{
    fs::create_directories(folder);
    test::writeBytes(folder / "Playlist.SCClips", bytes);
    return folder;
}

fs::path writePlaylist(const fs::path& folder, const json& root)
{
    return writePlaylist(folder, root.dump());
}

json clip(const std::string& id, const std::string& video, double start, double end)
{
    return {{"id", id}, {"videoId", video}, {"startTime", start}, {"endTime", end}};
}

// A match with two cameras (one with two angles), a third video no clip
// uses, titles made of effects, groups with repeated and unknown clip ids, a
// clip record with a duplicate id and a clip in no group.
json matchPlaylist()
{
    json c1 = clip("c1", "v1", 10, 15.5);
    c1["originalGroupName"] = "Attack";
    c1["description"] = "Pass";
    c1["moment"] = {{"tags", {{{"key", "Player"}, {"value", "7"}}, {{"key", "Zone"}, {"value", "A"}}}}};
    c1["streamIds"] = {"s2"};
    json c2 = {{"id", "c2"},
               {"videoId", "v1"},
               {"startTime", 20},
               {"endTime", 22},
               {"streamIds", {"a"}},
               {"moment", {{"tags", {{{"key", "Player"}}}}}},
               {"unknown", {{"deep", {1, 2, 3}}}}};
    json c3 = {{"id", "c3"}, {"videoId", "v2"}};
    json c4 = clip("c4", "v1", 1, 2);
    json t1 = {{"id", "t1"},
               {"startTime", 0},
               {"endTime", 4},
               {"tracks", {{{"effectIds", {"e3", "e1"}}}, {{"effectIds", {"e9"}}}}}};
    json t2 = {{"id", "t2"},
               {"startTime", 5},
               {"endTime", 6},
               {"description", "Halftime"},
               {"tracks", {{{"effectIds", {"e2"}}}}}};
    json duplicate = clip("c1", "v2", 100, 200);
    duplicate["originalGroupName"] = "never used";
    return {
        {"playlist",
         {{"titlesEnabled", false},
          {"videos",
           {{{"id", "v1"},
             {"path", "/Volumes/Match/Game 1.mov"},
             {"streams", {{{"id", "s1"}, {"name", "Wide"}}, {{"id", "s2"}, {"name", "Tight"}}, {{"name", "no id"}}}}},
            {{"id", "v2"}, {"path", "C2.final.mp4"}, {"streams", {{{"id", "a"}}}}},
            {{"id", "v3"}, {"path", "Unused.mov"}, {"streams", {{{"id", "x"}, {"name", "X"}}}}}}},
          {"effects",
           {{{"id", "e1"}, {"text", "Kick-off"}},
            {{"id", "e2"}},
            {{"id", "e3"}, {"text", "Second half"}},
            {{"id", "e1"}, {"text", "again"}}}},
          {"clips", {c1, c2, t1, t2, c3, duplicate, c4}},
          {"groups",
           {{{"name", "First half"}, {"titleClipId", "t1"}, {"clipIds", {"c1", "c2", "c1", "missing"}}},
            {{"clipIds", {"t2", "c3"}}},
            {{"name", "Empty"}, {"clipIds", {"nope"}}},
            {{"name", 5}, {"clipIds", {1, "c1"}}}}}}}};
}

OrganizerItem expectedItem(const std::string& name, double start, double end)
{
    OrganizerItem item;
    item.name = name;
    item.start = start;
    item.end = end;
    return item;
}

OrganizerItem videoItem(const std::string& name, double start, double end, std::vector<std::string> sources,
                        const std::string& source, const std::string& note = "")
{
    OrganizerItem item = expectedItem(name, start, end);
    item.sourceIDs = std::move(sources);
    item.sourceID = source;
    item.note = note;
    return item;
}

OrganizerItem titleItem(const std::string& name, double start, double end, bool enabled, const std::string& note = "")
{
    OrganizerItem item = expectedItem(name, start, end);
    item.kind = "title";
    item.enabled = enabled;
    item.note = note;
    return item;
}

OrganizerDocument expectedMatch()
{
    const std::vector<std::string> v1 = {"v1/s1", "v1/s2"};
    OrganizerDocument document;
    document.title = "Match 1";
    document.sources = {
        {.id = "v1/s1", .name = "Game 1 / Wide", .path = "", .offset = 0},
        {.id = "v1/s2", .name = "Game 1 / Tight", .path = "", .offset = 0},
        {.id = "v2/a", .name = "C2.final / アングル", .path = "", .offset = 0},
    };
    const OrganizerItem c1 = videoItem("Attack", 10, 15.5, v1, "v1/s2", "Pass\nPlayer: 7 / Zone: A");
    document.rows = {
        {.id = "",
         .name = "First half",
         .items = {titleItem("Kick-off\nSecond half\nagain", 0, 4, false), c1,
                   videoItem("クリップ", 20, 22, v1, "v1/s1", "Player: "), c1}},
        {.id = "",
         .name = "行",
         .items = {titleItem("タイトル", 5, 6, true, "Halftime"), videoItem("クリップ", 0, 3, {"v2/a"}, "v2/a")}},
        {.id = "", .name = "Empty", .items = {}},
        {.id = "", .name = "行", .items = {}},
        {.id = "", .name = "未分類", .items = {videoItem("クリップ", 1, 2, v1, "v1/s1")}},
    };
    document.warnings = importWarnings;
    return document;
}

bool isIdentifier(const std::string& text)
{
    static const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    return std::regex_match(text, form);
}

// Every row and item identifier fresh and distinct; then blanked so that the
// rest of the document can be compared whole.
OrganizerDocument withoutFreshIdentifiers(OrganizerDocument document)
{
    std::unordered_set<std::string> seen;
    for (OrganizerRow& row : document.rows) {
        EXPECT_TRUE(isIdentifier(row.id) && seen.insert(row.id).second) << row.id;
        row.id = "";
        for (OrganizerItem& item : row.items) {
            EXPECT_TRUE(isIdentifier(item.id) && seen.insert(item.id).second) << item.id;
            item.id = "";
        }
    }
    return document;
}

OrganizerDocument withBlankItemIdentifiers(OrganizerDocument document)
{
    for (OrganizerRow& row : document.rows) {
        for (OrganizerItem& item : row.items) item.id = "";
    }
    return document;
}

TEST(SportscodeImport, MatchFixtureGivesTheWholeDocument)
{
    TempDir dir;
    const fs::path package = writePlaylist(dir / "Match 1.SCPlaylist", matchPlaylist());
    const std::string bytes = test::readBytes(package / "Playlist.SCClips");
    const OrganizerDocument imported = OrganizerDocument::sportscode(package);
    EXPECT_EQ(withoutFreshIdentifiers(imported), withBlankItemIdentifiers(expectedMatch()));
    EXPECT_NO_THROW(imported.validate());
    // The import only reads: the package holds its one file, unchanged.
    EXPECT_EQ(std::distance(fs::directory_iterator(package), fs::directory_iterator()), 1);
    EXPECT_EQ(test::readBytes(package / "Playlist.SCClips"), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SportscodeImport, ReadOpensItWhateverTheCaseOfTheExtension)
{
    TempDir dir;
    for (const std::string name : {"Match 1.SCPlaylist", "b.scplaylist", "c.ScPlayList"}) {
        const fs::path package = writePlaylist(dir / name, matchPlaylist());
        const OrganizerDocument first = OrganizerDocument::read(package.string() + "/");
        EXPECT_EQ(first.title, fs::path(name).stem().string());
        EXPECT_EQ(first.rows.size(), 5u);
        // Nothing carries over between imports: each gets new identifiers.
        EXPECT_NE(OrganizerDocument::read(package).rows[0].items[0].id, first.rows[0].items[0].id);
    }
}

struct ImportCase {
    const char* name;
    std::function<void(json& root)> change;
    std::string expected; // outcome of the import
    std::function<void(const OrganizerDocument&)> check = [](const OrganizerDocument&) {};
};

void PrintTo(const ImportCase& value, std::ostream* out)
{
    *out << value.name;
}

class SportscodeCases : public ::testing::TestWithParam<ImportCase> { };

TEST_P(SportscodeCases, ImportAsTheRulesSay)
{
    TempDir dir;
    json root = matchPlaylist();
    GetParam().change(root);
    const fs::path package = writePlaylist(dir / "Case.SCPlaylist", root);
    OrganizerDocument result;
    EXPECT_EQ(outcomeOf([&] { result = OrganizerDocument::sportscode(package); }), GetParam().expected);
    if (GetParam().expected == "ok") GetParam().check(result);
}

json& playlistOf(json& root)
{
    return root["playlist"];
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SportscodeCases,
    ::testing::Values(
        ImportCase{"RootIsAnArray", [](json& r) { r = json::array({r}); }, unreadable},
        ImportCase{"PlaylistIsAString", [](json& r) { r["playlist"] = "x"; }, unreadable},
        ImportCase{"GroupsMissing", [](json& r) { playlistOf(r).erase("groups"); }, unreadable},
        ImportCase{"ClipsMissing", [](json& r) { playlistOf(r).erase("clips"); }, unreadable},
        ImportCase{"GroupsHoldANonObject", [](json& r) { playlistOf(r)["groups"].push_back(1); }, unreadable},
        ImportCase{"ClipsIsAnObject", [](json& r) { playlistOf(r)["clips"] = json::object(); }, unreadable},
        ImportCase{"NoGroupsAndNoClips",
                   [](json& r) {
                       playlistOf(r)["groups"] = json::array();
                       playlistOf(r)["clips"] = json::array();
                   },
                   M1},
        ImportCase{"StartNotBeforeEnd", [](json& r) { playlistOf(r)["clips"][0]["endTime"] = 10; }, M2},
        ImportCase{"VideoIdNamesNoVideo", [](json& r) { playlistOf(r)["clips"][4]["videoId"] = "v7"; }, M2},
        ImportCase{"VideoWithoutStreamIds",
                   [](json& r) {
                       playlistOf(r)["videos"][1]["streams"] = {{{"name", "no id"}}};
                   },
                   M2},
        ImportCase{"VideosOfTheWrongShapeCountAsNone", [](json& r) { playlistOf(r)["videos"].push_back("v9"); }, M2},
        ImportCase{"EveryClipInAGroupLeavesNoUnfiledRow",
                   [](json& r) { playlistOf(r)["groups"][2]["clipIds"] = {"c4"}; }, "ok",
                   [](const OrganizerDocument& d) {
                       ASSERT_EQ(d.rows.size(), 4u);
                       EXPECT_EQ(d.rows[2].name, "Empty");
                       EXPECT_EQ(d.rows[2].items.size(), 1u);
                   }},
        ImportCase{"TitleInUnfiledRowIsEnabled", [](json& r) { playlistOf(r)["groups"][0].erase("titleClipId"); }, "ok",
                   [](const OrganizerDocument& d) {
                       EXPECT_EQ(d.rows[0].items.size(), 3u);
                       const OrganizerItem& title = d.rows.back().items.front();
                       EXPECT_EQ(title.kind, "title");
                       EXPECT_TRUE(title.enabled);
                   }},
        ImportCase{"GroupTitleListedAgainIsEnabledThere",
                   [](json& r) { playlistOf(r)["groups"][2]["clipIds"] = {"t1"}; }, "ok",
                   [](const OrganizerDocument& d) {
                       EXPECT_FALSE(d.rows[0].items[0].enabled);
                       ASSERT_EQ(d.rows[2].items.size(), 1u);
                       EXPECT_EQ(d.rows[2].items[0].name, d.rows[0].items[0].name);
                       EXPECT_TRUE(d.rows[2].items[0].enabled);
                   }},
        ImportCase{"TitlesEnabledOfTheWrongTypeCountsAsTrue", [](json& r) { playlistOf(r)["titlesEnabled"] = "no"; },
                   "ok", [](const OrganizerDocument& d) { EXPECT_TRUE(d.rows[0].items[0].enabled); }},
        ImportCase{"WrongTypesCountAsAbsent",
                   [](json& r) {
                       json& c1 = playlistOf(r)["clips"][0];
                       c1["description"] = 5;
                       c1["endTime"] = "15";
                       c1["startTime"] = 1;
                       c1["streamIds"] = {"s2", 3};
                       c1["moment"]["tags"].push_back("loose");
                   },
                   "ok",
                   [](const OrganizerDocument& d) {
                       const OrganizerItem& item = d.rows[0].items[1];
                       EXPECT_EQ(item.note, "");
                       EXPECT_EQ(item.start, 1);
                       EXPECT_EQ(item.end, 3);
                       EXPECT_EQ(item.sourceID, "v1/s1");
                   }},
        ImportCase{
            "VideoIdTwiceCollectsBothStreamLists",
            [](json& r) {
                playlistOf(r)["videos"].push_back({{"id", "v1"}, {"path", "Other.mov"}, {"streams", {{{"id", "s3"}}}}});
                playlistOf(r)["clips"][0]["streamIds"] = {"s3"};
            },
            "ok",
            [](const OrganizerDocument& d) {
                const OrganizerItem& item = d.rows[0].items[1];
                EXPECT_EQ(item.sourceIDs, (std::vector<std::string>{"v1/s1", "v1/s2", "v1/s3"}));
                EXPECT_EQ(item.sourceID, "v1/s3");
                EXPECT_EQ(d.sources.back().name, "Other / アングル");
            }},
        ImportCase{"ClipNamesItsVideoByLocalIdAfterId",
                   [](json& r) {
                       for (json& video : playlistOf(r)["videos"])
                           video["localId"] = "L" + video["id"].get<std::string>();
                       playlistOf(r)["videos"][2]["localId"] = "v2";
                       for (json& clip : playlistOf(r)["clips"]) {
                           if (clip.contains("videoId") && clip["videoId"] == "v1") clip["videoId"] = "Lv1";
                       }
                   },
                   "ok",
                   [](const OrganizerDocument& d) {
                       EXPECT_EQ(d.rows[0].items[1].sourceIDs, (std::vector<std::string>{"v1/s1", "v1/s2"}));
                       EXPECT_EQ(d.rows[0].items[1].sourceID, "v1/s2");
                       EXPECT_EQ(d.rows[1].items[1].sourceID, "v2/a");
                   }},
        ImportCase{"VideoWithoutPathIsNamedByItsAngle", [](json& r) { playlistOf(r)["videos"][1].erase("path"); }, "ok",
                   [](const OrganizerDocument& d) { EXPECT_EQ(d.sources.back().name, "アングル"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SportscodeImport, FileErrorsAndTheSizeLimit)
{
    TempDir dir;
    fs::create_directories(dir / "Empty.SCPlaylist");
    EXPECT_EQ(outcomeOf([&] { OrganizerDocument::sportscode(dir / "Empty.SCPlaylist"); }), test::systemOutcome(ENOENT));
    fs::create_directories(dir / "Folder.SCPlaylist/Playlist.SCClips");
    EXPECT_EQ(outcomeOf([&] { OrganizerDocument::sportscode(dir / "Folder.SCPlaylist"); }),
              test::systemOutcome(EISDIR));
    writePlaylist(dir / "Text.SCPlaylist", std::string("{\"playlist\": {\"groups\": [\xff]}}"));
    EXPECT_EQ(outcomeOf([&] { OrganizerDocument::sportscode(dir / "Text.SCPlaylist"); }), "decoding");
    writePlaylist(dir / "Deep.SCPlaylist", "{\"x\":" + std::string(50000, '[') + std::string(50000, ']') + "}");
    EXPECT_EQ(outcomeOf([&] { OrganizerDocument::sportscode(dir / "Deep.SCPlaylist"); }), "decoding");

    const std::string text = matchPlaylist().dump();
    const std::pair<std::size_t, std::string> sizes[] = {{24'999'999, "ok"}, {25'000'000, unreadable}};
    for (const auto& [size, expected] : sizes) {
        writePlaylist(dir / "Big.SCPlaylist", text + std::string(size - text.size(), '\n'));
        EXPECT_EQ(outcomeOf([&] { OrganizerDocument::sportscode(dir / "Big.SCPlaylist"); }), expected) << size;
    }
}

// Long lists are looked up through tables, not searched per reference.
TEST(SportscodeImport, LongListsImport)
{
    json root = matchPlaylist();
    json& playlist = root["playlist"];
    json ids = json::array();
    for (int i = 0; i < 9000; ++i) {
        playlist["clips"].push_back(clip("n" + std::to_string(i), "v1", i, i + 1));
        ids.push_back("n" + std::to_string(i));
    }
    for (int i = 0; i < 20000; ++i)
        playlist["effects"].push_back({{"id", "f" + std::to_string(i)}, {"text", "unused"}});
    playlist["groups"].push_back({{"name", "Long"}, {"clipIds", ids}});
    TempDir dir;
    const OrganizerDocument imported = OrganizerDocument::sportscode(writePlaylist(dir / "Long.SCPlaylist", root));
    EXPECT_EQ(imported.rows[4].items.size(), 9000u);
    EXPECT_EQ(imported.rows[4].items[8999].start, 8999);
}

// A small file may list one clip record many times or name one effect id
// over and over: the import stays linear in the file, and refuses a result
// too large for any playlist file to hold rather than building it.
TEST(SportscodeImport, RepeatedReferencesDoNotMultiplyWork)
{
    json root = matchPlaylist();
    json& playlist = root["playlist"];
    json track = {{"effectIds", json::array()}};
    for (int i = 0; i < 20000; ++i) {
        track["effectIds"].push_back("");
        playlist["effects"].push_back(i == 5 || i == 7 ? json{{"text", "line " + std::to_string(i)}} : json::object());
    }
    playlist["clips"][2]["tracks"].push_back(track);
    playlist["clips"][2]["tracks"].push_back(track);
    TempDir dir;
    const OrganizerDocument imported = OrganizerDocument::sportscode(writePlaylist(dir / "Effects.SCPlaylist", root));
    EXPECT_EQ(imported.rows[0].items[0].name, "Kick-off\nSecond half\nagain\nline 5\nline 7");

    const std::pair<int, std::string> listings[] = {{240, "ok"}, {260, unreadable}};
    for (const auto& [count, expected] : listings) {
        json big = matchPlaylist();
        big["playlist"]["clips"][0]["description"] = std::string(100'000, 'd');
        big["playlist"]["groups"][1]["clipIds"] = json::array();
        for (int i = 0; i < count; ++i) big["playlist"]["groups"][1]["clipIds"].push_back("c1");
        const fs::path package = writePlaylist(dir / ("Listed" + std::to_string(count) + ".SCPlaylist"), big);
        EXPECT_EQ(outcomeOf([&] { OrganizerDocument::sportscode(package); }), expected) << count;
    }
}

// Damaged files import to a valid document or fail with the import's own
// errors; nothing else escapes and nothing crashes.
TEST(SportscodeImport, FuzzedFilesNeverCrash)
{
    const std::string text = matchPlaylist().dump();
    TempDir dir;
    std::mt19937 random(7);
    int imported = 0;
    for (int round = 0; round < 400; ++round) {
        std::string damaged = test::mutated(text, random);
        if (round % 2) damaged = test::mutated(damaged, random);
        writePlaylist(dir / "Fuzz.SCPlaylist", damaged);
        OrganizerDocument result;
        const std::string outcome = outcomeOf([&] { result = OrganizerDocument::sportscode(dir / "Fuzz.SCPlaylist"); });
        ASSERT_TRUE(outcome == "ok" || outcome == "decoding" || outcome.starts_with("failure:")) << outcome;
        if (outcome == "ok") {
            ++imported;
            EXPECT_NO_THROW(result.validate());
            EXPECT_EQ(result.warnings, importWarnings);
        }
    }
    EXPECT_GT(imported, 0);
}

} // namespace
} // namespace zanto
