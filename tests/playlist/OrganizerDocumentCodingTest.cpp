#include "playlist/OrganizerDocument.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "services/JsonCoding.h"
#include "support/IdentifierText.h"
#include "support/PlaylistSamples.h"
#include "support/TableNames.h"

namespace zanto {
namespace {

using nlohmann::json;
using test::isIdentifier;
using test::sampleDocument;

TEST(OrganizerDocumentCodingTest, NewDocumentHasOneEmptyReviewRow)
{
    const OrganizerDocument first;
    const OrganizerDocument second;
    EXPECT_EQ(first.format, "zantorix-playlist");
    EXPECT_EQ(first.version, 1);
    EXPECT_EQ(first.title, "新しいプレイリスト");
    EXPECT_TRUE(first.sources.empty());
    ASSERT_EQ(first.rows.size(), 1u);
    EXPECT_EQ(first.rows[0].name, "レビュー");
    EXPECT_TRUE(first.rows[0].items.empty());
    EXPECT_TRUE(first.warnings.empty());
    EXPECT_TRUE(isIdentifier(first.rows[0].id)) << first.rows[0].id;
    EXPECT_NE(first.rows[0].id, second.rows[0].id);
    EXPECT_NO_THROW(first.validate());
}

TEST(OrganizerDocumentCodingTest, ItemBuiltWithOnlyANameIsAThreeSecondVideo)
{
    OrganizerItem item;
    item.name = "Goal";
    EXPECT_TRUE(isIdentifier(item.id));
    EXPECT_EQ(item.kind, "video");
    EXPECT_EQ(item.start, 0);
    EXPECT_EQ(item.end, 3);
    EXPECT_TRUE(item.enabled);
    EXPECT_EQ(item.note, "");
    EXPECT_TRUE(item.sourceIDs.empty());
    EXPECT_EQ(item.sourceID, "");
    EXPECT_EQ(item.imagePath, "");
    EXPECT_FALSE(item.freezeTime || item.marks || item.labels);
    OrganizerSource source;
    EXPECT_TRUE(isIdentifier(source.id));
    EXPECT_EQ(source.offset, 0);
    EXPECT_NE(OrganizerItem{}.id, OrganizerItem{}.id);
}

TEST(OrganizerDocumentCodingTest, EncodesCompactlyInFieldOrder)
{
    OrganizerDocument document;
    document.title = "T";
    document.sources = {test::sampleSource("S", 0.5)};
    document.rows[0].id = "R";
    OrganizerItem item = test::sampleItem("I", "freeze", "S");
    item.marks = std::vector<OrganizerMark>{test::plainMark("arrow")};
    item.labels = std::vector<std::string>{"a"};
    document.rows[0].items = {item};
    document.warnings = {"w"};
    EXPECT_EQ(document.toJson(),
              R"({"format":"zantorix-playlist","version":1,"title":"T",)"
              R"("sources":[{"id":"S","name":"Angle S","path":"/videos/S.mp4","offset":0.5}],)"
              R"("rows":[{"id":"R","name":"レビュー","items":[{"id":"I","kind":"freeze","freezeTime":2.5,)"
              R"("name":"Item I","note":"","start":1,"end":4,"sourceIDs":["S"],"sourceID":"S","imagePath":"",)"
              R"("enabled":true,"marks":[{"kind":"arrow","x":0.2,"y":0.3,"x2":0.8,"y2":0.9,"text":""}],)"
              R"("labels":["a"]}]}],"warnings":["w"]})");
}

TEST(OrganizerDocumentCodingTest, RoundTripKeepsEveryFieldAndEveryByte)
{
    const OrganizerDocument document = sampleDocument();
    const std::string text = document.toJson();
    const OrganizerDocument back = OrganizerDocument::fromJson(text);
    EXPECT_EQ(back, document);
    EXPECT_EQ(back.toJson(), text);
    const OrganizerDocument copy = document;
    EXPECT_EQ(copy.toJson(), text);
    OrganizerDocument zero = document;
    zero.rows[0].items[2].start = 0.0;
    OrganizerDocument negativeZero = zero;
    negativeZero.rows[0].items[2].start = -0.0; // equal values, so equal bytes
    EXPECT_EQ(negativeZero, zero);
    EXPECT_EQ(negativeZero.toJson(), zero.toJson());
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_NE(text.find("0.3499999940395355"), std::string::npos);
}

struct OptionalCase {
    const char* name;
    const char* extra;        // appended to a minimal item object
    const char* expectedTail; // what the item writes after "enabled":true
};

class OrganizerItemOptionalTest : public testing::TestWithParam<OptionalCase> { };

TEST_P(OrganizerItemOptionalTest, AbsentAndEmptyStayDistinct)
{
    const std::string itemJson = std::string(R"({"id":"I","kind":"video","name":"n","note":"","start":0,"end":1,)"
                                             R"("sourceIDs":[],"sourceID":"","imagePath":"","enabled":true)")
                                 + GetParam().extra + "}";
    const OrganizerItem item = decodeJson<OrganizerItem>(itemJson);
    const std::string written = encodeJson(item);
    const std::string tail = written.substr(written.find("\"enabled\":true") + 14);
    EXPECT_EQ(tail, std::string(GetParam().expectedTail) + "}");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerItemOptionalTest,
    testing::Values(OptionalCase{"allMissing", "", ""},
                    OptionalCase{"allNull", R"(,"freezeTime":null,"marks":null,"labels":null)", ""},
                    OptionalCase{"emptyLists", R"(,"marks":[],"labels":[])", R"(,"marks":[],"labels":[])"},
                    OptionalCase{"onlyLabels", R"(,"labels":["x"])", R"(,"labels":["x"])"}),
    test::ByName());

TEST(OrganizerDocumentCodingTest, FreezeTimeIsWrittenAfterKindWhenPresent)
{
    OrganizerItem item = test::sampleItem("I", "video");
    item.freezeTime = 0;
    EXPECT_NE(encodeJson(item).find(R"("kind":"video","freezeTime":0,"name")"), std::string::npos);
    item.freezeTime.reset();
    EXPECT_EQ(encodeJson(item).find("freezeTime"), std::string::npos);
}

// Removing any required key anywhere fails the whole document.
struct RequiredCase {
    const char* pointer; // JSON pointer of the object
    const char* key;
};

class OrganizerDocumentRequiredKeyTest : public testing::TestWithParam<RequiredCase> { };

TEST_P(OrganizerDocumentRequiredKeyTest, MissingOrNullOrWrongTypeFails)
{
    const json full = json::parse(sampleDocument().toJson());
    const json::json_pointer at(GetParam().pointer);
    ASSERT_TRUE(full.at(at).contains(GetParam().key)) << GetParam().pointer << " " << GetParam().key;
    for (int variant = 0; variant < 3; ++variant) {
        json broken = full;
        json& object = broken.at(at);
        if (variant == 0)
            object.erase(GetParam().key);
        else if (variant == 1)
            object[GetParam().key] = nullptr;
        else
            object[GetParam().key] = object[GetParam().key].is_string() ? json(7) : json("text");
        EXPECT_THROW(OrganizerDocument::fromJson(broken.dump()), DecodingError) << variant << " " << broken.dump();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OrganizerDocumentRequiredKeyTest,
    testing::Values(RequiredCase{"", "format"}, RequiredCase{"", "version"}, RequiredCase{"", "title"},
                    RequiredCase{"", "sources"}, RequiredCase{"", "rows"}, RequiredCase{"", "warnings"},
                    RequiredCase{"/sources/1", "id"}, RequiredCase{"/sources/1", "name"},
                    RequiredCase{"/sources/1", "path"}, RequiredCase{"/sources/1", "offset"},
                    RequiredCase{"/rows/1", "id"}, RequiredCase{"/rows/1", "name"}, RequiredCase{"/rows/1", "items"},
                    RequiredCase{"/rows/1/items/1", "id"}, RequiredCase{"/rows/1/items/1", "kind"},
                    RequiredCase{"/rows/1/items/1", "name"}, RequiredCase{"/rows/1/items/1", "note"},
                    RequiredCase{"/rows/1/items/1", "start"}, RequiredCase{"/rows/1/items/1", "end"},
                    RequiredCase{"/rows/1/items/1", "sourceIDs"}, RequiredCase{"/rows/1/items/1", "sourceID"},
                    RequiredCase{"/rows/1/items/1", "imagePath"}, RequiredCase{"/rows/1/items/1", "enabled"},
                    RequiredCase{"/rows/0/items/0/marks/2", "text"},
                    RequiredCase{"/rows/0/items/0/marks/2/gxl", "speed"},
                    RequiredCase{"/rows/0/items/0/marks/2/gxl/points/0", "y"}));

struct OddValueCase {
    const char* name;
    const char* pointer;
    json value;
    bool reads;
};

class OrganizerDocumentValueTypeTest : public testing::TestWithParam<OddValueCase> { };

TEST_P(OrganizerDocumentValueTypeTest, TakesValuesAsTheyAreButChecksTypes)
{
    json changed = json::parse(sampleDocument().toJson());
    changed[json::json_pointer(GetParam().pointer)] = GetParam().value;
    if (GetParam().reads)
        EXPECT_NO_THROW(OrganizerDocument::fromJson(changed.dump()));
    else
        EXPECT_THROW(OrganizerDocument::fromJson(changed.dump()), DecodingError);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerDocumentValueTypeTest,
                         testing::Values(OddValueCase{"version2", "/version", 2, true},
                                         OddValueCase{"otherFormat", "/format", "other", true},
                                         OddValueCase{"versionWholeDouble", "/version", 1.0, true},
                                         OddValueCase{"versionFraction", "/version", 1.5, false},
                                         OddValueCase{"versionText", "/version", "1", false},
                                         OddValueCase{"integerStart", "/rows/0/items/0/start", 2, true},
                                         OddValueCase{"negativeEnd", "/rows/0/items/0/end", -7.25, true},
                                         OddValueCase{"enabledNumber", "/rows/0/items/0/enabled", 1, false},
                                         OddValueCase{"freezeTimeText", "/rows/0/items/1/freezeTime", "2", false},
                                         OddValueCase{"marksObject", "/rows/0/items/0/marks", json::object(), false},
                                         OddValueCase{"labelsNumbers", "/rows/0/items/0/labels", json::array({1}),
                                                      false},
                                         OddValueCase{"warningsObject", "/warnings", json::object(), false},
                                         OddValueCase{"rowsNotObjects", "/rows", json::array({1}), false},
                                         OddValueCase{"emptyRows", "/rows", json::array(), true},
                                         OddValueCase{"unknownTop", "/extra", json::array({1, 2}), true},
                                         OddValueCase{"unknownInItem", "/rows/0/items/0/colour", "red", true},
                                         OddValueCase{"unknownInMark", "/rows/0/items/0/marks/0/width", 3, true}),
                         test::ByName());

TEST(OrganizerDocumentCodingTest, UnknownKeysAreNotWrittenBack)
{
    json changed = json::parse(sampleDocument().toJson());
    changed["extra"] = 1;
    changed["sources"][0]["bookmark"] = "abc";
    changed["rows"][0]["colour"] = "red";
    changed["rows"][0]["items"][0]["marks"][2]["gxl"]["label"] = "#10";
    EXPECT_EQ(OrganizerDocument::fromJson(changed.dump()).toJson(), sampleDocument().toJson());
}

TEST(OrganizerDocumentCodingTest, ReadingIgnoresKeyOrder)
{
    const json ordered = json::parse(sampleDocument().toJson());
    const std::string sorted = ordered.dump(); // nlohmann::json sorts keys
    EXPECT_EQ(OrganizerDocument::fromJson(sorted), sampleDocument());
}

struct NonFiniteCase {
    const char* name;
    void (*spoil)(OrganizerDocument&, double);
};

class OrganizerDocumentNonFiniteTest : public testing::TestWithParam<NonFiniteCase> { };

TEST_P(OrganizerDocumentNonFiniteTest, EncodingFailsInsteadOfWritingNull)
{
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        OrganizerDocument document = sampleDocument();
        GetParam().spoil(document, bad);
        EXPECT_THROW(document.toJson(), EncodingError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, OrganizerDocumentNonFiniteTest,
    testing::Values(
        NonFiniteCase{"offset", [](OrganizerDocument& d, double v) { d.sources[1].offset = v; }},
        NonFiniteCase{"start", [](OrganizerDocument& d, double v) { d.rows[1].items[1].start = v; }},
        NonFiniteCase{"freezeTime", [](OrganizerDocument& d, double v) { d.rows[0].items[1].freezeTime = v; }},
        NonFiniteCase{"markX2", [](OrganizerDocument& d, double v) { (*d.rows[0].items[0].marks)[0].x2 = v; }},
        NonFiniteCase{"gxlPoint",
                      [](OrganizerDocument& d, double v) { (*d.rows[0].items[0].marks)[2].gxl->points[1].y = v; }},
        NonFiniteCase{"gxlColor",
                      [](OrganizerDocument& d, double v) { (*d.rows[0].items[0].marks)[2].gxl->color[2] = v; }}),
    test::ByName());

} // namespace
} // namespace zanto
