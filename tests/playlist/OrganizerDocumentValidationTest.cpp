#include "playlist/OrganizerDocument.h"

#include <functional>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "services/ExportFailure.h"
#include "support/PlaylistSamples.h"
#include "support/TableNames.h"

namespace zanto {
namespace {

using test::gxlMark;
using test::plainMark;
using test::sampleDocument;
using test::sampleItem;
using test::sampleSettings;
using test::sampleSource;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

enum class Outcome { valid, unsupported, invalid };

const char* const unsupportedMessage = "未対応のプレイリストです。";
const char* const invalidMessage = "プレイリストの区間または映像の参照が不正です。";

Outcome validationOutcome(const OrganizerDocument& document)
{
    try {
        document.validate();
        return Outcome::valid;
    } catch (const ExportFailure& error) {
        if (error.message == unsupportedMessage) return Outcome::unsupported;
        EXPECT_EQ(error.message, invalidMessage);
        return Outcome::invalid;
    }
}

struct RuleCase {
    const char* name;
    std::function<void(OrganizerDocument&)> change;
    Outcome expected;
};

class OrganizerDocumentValidationTest : public testing::TestWithParam<RuleCase> { };

TEST_P(OrganizerDocumentValidationTest, FollowsTheRulesAtTheirBoundaries)
{
    OrganizerDocument document = sampleDocument();
    ASSERT_EQ(validationOutcome(document), Outcome::valid);
    GetParam().change(document);
    const OrganizerDocument before = document;
    EXPECT_EQ(validationOutcome(document), GetParam().expected);
    if (before == before) { // a NaN makes a document unequal to itself
        EXPECT_TRUE(document == before) << "validation changed the document";
    }
}

OrganizerItem& item(OrganizerDocument& d, std::size_t row, std::size_t index)
{
    return d.rows[row].items[index];
}

OrganizerMark& firstMark(OrganizerDocument& d)
{
    return (*d.rows[0].items[0].marks)[0];
}

void setRows(OrganizerDocument& d, std::size_t count)
{
    d.rows.resize(count, d.rows[1]);
    for (std::size_t i = 2; i < count; ++i) d.rows[i].items.clear(); // keep item ids unique
}

void setSources(OrganizerDocument& d, std::size_t count)
{
    for (std::size_t i = d.sources.size(); i < count; ++i)
        d.sources.push_back(sampleSource("extra-" + std::to_string(i)));
}

// Fills rows 0 and 1 up to `count` items in all, spread over both rows.
void setItemCount(OrganizerDocument& d, std::size_t count)
{
    std::size_t existing = d.rows[0].items.size() + d.rows[1].items.size();
    for (std::size_t i = existing; i < count; ++i)
        d.rows[i % 2].items.push_back(sampleItem("bulk-" + std::to_string(i)));
}

std::vector<OrganizerMark> marks(std::size_t count)
{
    std::vector<OrganizerMark> result(count, plainMark("circle"));
    result.back() = gxlMark();
    return result;
}

const RuleCase ruleCases[] = {
    // document rules -> M1
    {"formatOther", [](OrganizerDocument& d) { d.format = "zantorix-project"; }, Outcome::unsupported},
    {"formatCase", [](OrganizerDocument& d) { d.format = "Zantorix-playlist"; }, Outcome::unsupported},
    {"version2", [](OrganizerDocument& d) { d.version = 2; }, Outcome::unsupported},
    {"version0", [](OrganizerDocument& d) { d.version = 0; }, Outcome::unsupported},
    {"noRows", [](OrganizerDocument& d) { d.rows.clear(); }, Outcome::unsupported},
    {"rows1000", [](OrganizerDocument& d) { setRows(d, 1000); }, Outcome::valid},
    {"rows1001", [](OrganizerDocument& d) { setRows(d, 1001); }, Outcome::unsupported},
    {"sources1000", [](OrganizerDocument& d) { setSources(d, 1000); }, Outcome::valid},
    {"sources1001", [](OrganizerDocument& d) { setSources(d, 1001); }, Outcome::unsupported},
    {"duplicateSources", [](OrganizerDocument& d) { d.sources.push_back(sampleSource("S1")); }, Outcome::unsupported},
    {"wrongFormatAndBrokenItem",
     [](OrganizerDocument& d) {
         d.format = "x";
         item(d, 0, 0).end = -1;
     },
     Outcome::unsupported},
    {"duplicateSourceAndBrokenItem",
     [](OrganizerDocument& d) {
         d.sources.push_back(sampleSource("S2"));
         item(d, 0, 0).kind = "?";
     },
     Outcome::unsupported},
    {"emptySourceIdIsAnId",
     [](OrganizerDocument& d) {
         d.sources.push_back(sampleSource(""));
         item(d, 0, 0).sourceID = "";
     },
     Outcome::valid},
    // content rules -> M2
    {"items10000", [](OrganizerDocument& d) { setItemCount(d, 10000); }, Outcome::valid},
    {"items10001", [](OrganizerDocument& d) { setItemCount(d, 10001); }, Outcome::invalid},
    {"duplicateItemsAcrossRows", [](OrganizerDocument& d) { item(d, 1, 0).id = item(d, 0, 0).id; }, Outcome::invalid},
    {"duplicateRowIds", [](OrganizerDocument& d) { d.rows[1].id = d.rows[0].id; }, Outcome::valid},
    {"offsetInfinite", [](OrganizerDocument& d) { d.sources[0].offset = inf; }, Outcome::invalid},
    {"offsetNaN", [](OrganizerDocument& d) { d.sources[1].offset = nan; }, Outcome::invalid},
    {"offsetNegative", [](OrganizerDocument& d) { d.sources[0].offset = -3600; }, Outcome::valid},
    // item rules -> M2
    {"fullRange",
     [](OrganizerDocument& d) {
         item(d, 0, 0).start = 0;
         item(d, 0, 0).end = 864000;
     },
     Outcome::valid},
    {"endPastLimit", [](OrganizerDocument& d) { item(d, 0, 0).end = 864000.5; }, Outcome::invalid},
    {"startEqualsEnd", [](OrganizerDocument& d) { item(d, 0, 0).start = item(d, 0, 0).end; }, Outcome::invalid},
    {"startAfterEnd", [](OrganizerDocument& d) { item(d, 1, 1).start = 5; }, Outcome::invalid},
    {"startNegative", [](OrganizerDocument& d) { item(d, 0, 2).start = -0.001; }, Outcome::invalid},
    {"startNaN", [](OrganizerDocument& d) { item(d, 0, 0).start = nan; }, Outcome::invalid},
    {"endNaN", [](OrganizerDocument& d) { item(d, 0, 0).end = nan; }, Outcome::invalid},
    {"endInfinite", [](OrganizerDocument& d) { item(d, 0, 0).end = inf; }, Outcome::invalid},
    {"kindUnknown", [](OrganizerDocument& d) { item(d, 0, 0).kind = "audio"; }, Outcome::invalid},
    {"kindCase", [](OrganizerDocument& d) { item(d, 0, 0).kind = "Video"; }, Outcome::invalid},
    {"videoMissingSource", [](OrganizerDocument& d) { item(d, 0, 0).sourceID = "nope"; }, Outcome::invalid},
    {"videoAngleMissing", [](OrganizerDocument& d) { item(d, 0, 0).sourceIDs.push_back("nope"); }, Outcome::invalid},
    {"videoNoAngles", [](OrganizerDocument& d) { item(d, 0, 0).sourceIDs.clear(); }, Outcome::valid},
    {"videoEmptySourceId", [](OrganizerDocument& d) { item(d, 0, 0).sourceID = ""; }, Outcome::invalid},
    {"freezeMissingSource", [](OrganizerDocument& d) { item(d, 0, 1).sourceID = "nope"; }, Outcome::invalid},
    {"titleAnySource",
     [](OrganizerDocument& d) {
         item(d, 0, 2).sourceID = "nope";
         item(d, 0, 2).sourceIDs = {"x"};
     },
     Outcome::valid},
    {"imageAnySource", [](OrganizerDocument& d) { item(d, 1, 0).sourceID = "nope"; }, Outcome::valid},
    {"freezeWithoutTime", [](OrganizerDocument& d) { item(d, 0, 1).freezeTime.reset(); }, Outcome::invalid},
    {"freezeAtZero", [](OrganizerDocument& d) { item(d, 0, 1).freezeTime = 0; }, Outcome::valid},
    {"freezeNegative", [](OrganizerDocument& d) { item(d, 0, 1).freezeTime = -0.5; }, Outcome::invalid},
    {"freezeNaN", [](OrganizerDocument& d) { item(d, 0, 1).freezeTime = nan; }, Outcome::invalid},
    {"freezeBeyondEnd", [](OrganizerDocument& d) { item(d, 0, 1).freezeTime = 1e7; }, Outcome::valid},
    {"videoAnyFreezeTime", [](OrganizerDocument& d) { item(d, 0, 0).freezeTime = -inf; }, Outcome::valid},
    {"disabledStillChecked",
     [](OrganizerDocument& d) {
         item(d, 1, 1).enabled = false;
         item(d, 1, 1).end = 0;
     },
     Outcome::invalid},
    // mark rules -> M2
    {"marks1000", [](OrganizerDocument& d) { item(d, 0, 0).marks = marks(1000); }, Outcome::valid},
    {"marks1001", [](OrganizerDocument& d) { item(d, 0, 0).marks = marks(1001); }, Outcome::invalid},
    {"arrowWithSettings", [](OrganizerDocument& d) { firstMark(d).gxl = sampleSettings(); }, Outcome::invalid},
    {"gxlWithoutSettings", [](OrganizerDocument& d) { firstMark(d).kind = "gxl"; }, Outcome::invalid},
    {"gxlInvalidSettings", [](OrganizerDocument& d) { firstMark(d) = gxlMark(sampleSettings("player ring")); },
     Outcome::invalid},
    {"gxlSettingsSpeedAbove", [](OrganizerDocument& d) { (*item(d, 0, 0).marks)[2].gxl->speed = 4.01; },
     Outcome::invalid},
    {"markKindUnknown", [](OrganizerDocument& d) { firstMark(d).kind = "line"; }, Outcome::invalid},
    {"markEdges",
     [](OrganizerDocument& d) {
         firstMark(d).x = 0;
         firstMark(d).x2 = 1;
         firstMark(d).y = 1;
     },
     Outcome::valid},
    {"markYAbove", [](OrganizerDocument& d) { firstMark(d).y = 1.0000001; }, Outcome::invalid},
    {"markX2Below", [](OrganizerDocument& d) { firstMark(d).x2 = -1e-9; }, Outcome::invalid},
    {"markNaN", [](OrganizerDocument& d) { firstMark(d).y2 = nan; }, Outcome::invalid},
    {"markOnStillItem", [](OrganizerDocument& d) { item(d, 1, 0).marks = marks(3); }, Outcome::valid},
    {"badMarkOnTitle",
     [](OrganizerDocument& d) { item(d, 0, 2).marks = std::vector<OrganizerMark>{plainMark("text", 2)}; },
     Outcome::invalid},
    // not examined
    {"textsAndPathsFree",
     [](OrganizerDocument& d) {
         d.title = "";
         d.sources[0].path = "";
         d.sources[0].name = "";
         item(d, 1, 0).imagePath = "";
         d.warnings = {"", ""};
         firstMark(d).text = std::string(5000, 'x');
     },
     Outcome::valid},
};

INSTANTIATE_TEST_SUITE_P(Rules, OrganizerDocumentValidationTest, testing::ValuesIn(ruleCases), test::ByName());

TEST(OrganizerDocumentValidationTest, NewDocumentIsValidAndThrowsExportFailure)
{
    EXPECT_NO_THROW(OrganizerDocument{}.validate());
    OrganizerDocument document;
    document.version = 3;
    EXPECT_THROW(document.validate(), ExportFailure);
}

} // namespace
} // namespace zanto
