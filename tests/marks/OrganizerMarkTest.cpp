#include "marks/OrganizerMark.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "services/JsonCoding.h"
#include "support/TableNames.h"

namespace zanto {
namespace {

OrganizerMark mark(const std::string& kind, double x, double y, double x2, double y2, const std::string& text = "")
{
    OrganizerMark result;
    result.kind = kind;
    result.x = x;
    result.y = y;
    result.x2 = x2;
    result.y2 = y2;
    result.text = text;
    return result;
}

TEST(OrganizerMarkTest, DefaultsHaveEmptyTextAndNoSettings)
{
    const OrganizerMark plain = mark("arrow", 0.1, 0.2, 0.3, 0.4);
    EXPECT_EQ(plain.text, "");
    EXPECT_FALSE(plain.gxl.has_value());
}

TEST(OrganizerMarkTest, PlainMarkHasNoGxlKeyAndReadsBackWithoutSettings)
{
    const OrganizerMark plain = mark("arrow", 0.25, 0.5, 1, 0);
    const std::string json = encodeJson(plain);
    EXPECT_EQ(json, R"({"kind":"arrow","x":0.25,"y":0.5,"x2":1,"y2":0,"text":""})");
    const OrganizerMark back = decodeJson<OrganizerMark>(json);
    EXPECT_FALSE(back.gxl.has_value());
    EXPECT_EQ(back, plain);
}

TEST(OrganizerMarkTest, GxlMarkWritesItsSettingsLast)
{
    OrganizerMark drawn = mark("gxl", 0.5, 0.45, 0.5, 0.45);
    drawn.gxl = GXLSettings{};
    drawn.gxl->tool = "Spotlight";
    drawn.gxl->points = {GXLPoint{0.5, 0.45}};
    const std::string json = encodeJson(drawn);
    EXPECT_EQ(json, R"({"kind":"gxl","x":0.5,"y":0.45,"x2":0.5,"y2":0.45,"text":"","gxl":{"tool":"Spotlight",)"
                    R"("points":[{"x":0.5,"y":0.45}],"color":[0.1,0.6,1,1],"size":90,"perspective":35,)"
                    R"("opacity":85,"speed":1}})");
    EXPECT_EQ(decodeJson<OrganizerMark>(json), drawn);
}

TEST(OrganizerMarkTest, TextMarkKeepsItsUnusedSecondPoint)
{
    const OrganizerMark text = mark("text", 0.1, 0.9, 0.77, 0.33, "ここ！ \"注目\"");
    EXPECT_EQ(decodeJson<OrganizerMark>(encodeJson(text)), text);
}

TEST(OrganizerMarkTest, CoordinatesOutsideTheUnitRangeSurvive)
{
    const OrganizerMark wild = mark("circle", -2.5, 1e9, 1.0000001, -1e-300);
    EXPECT_EQ(decodeJson<OrganizerMark>(encodeJson(wild)), wild);
}

TEST(OrganizerMarkTest, NonFiniteCoordinateCannotBeWritten)
{
    const OrganizerMark bad = mark("arrow", 0, std::numeric_limits<double>::infinity(), 0, 0);
    EXPECT_THROW(encodeJson(bad), EncodingError);
}

struct MarkJsonCase {
    const char* name;
    const char* json;
    bool decodes;
    bool hasSettings;
};

class OrganizerMarkJsonTest : public testing::TestWithParam<MarkJsonCase> { };

TEST_P(OrganizerMarkJsonTest, ReadsOnlyCompleteMarks)
{
    const MarkJsonCase& c = GetParam();
    if (!c.decodes) {
        EXPECT_THROW(decodeJson<OrganizerMark>(c.json), DecodingError);
        return;
    }
    const OrganizerMark read = decodeJson<OrganizerMark>(c.json);
    EXPECT_EQ(read.gxl.has_value(), c.hasSettings);
}

#define GXL_OK R"({"tool":"Spotlight","points":[],"color":[],"size":1,"perspective":1,"opacity":1,"speed":1})"
#define POINTS R"("x":0,"y":0,"x2":1,"y2":1,)"
INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerMarkJsonTest,
    testing::Values(
        MarkJsonCase{"gxlNull", R"({"kind":"arrow",)" POINTS R"("text":"","gxl":null})", true, false},
        MarkJsonCase{"gxlMissing", R"({"kind":"arrow",)" POINTS R"("text":""})", true, false},
        MarkJsonCase{"arrowWithSettings", R"({"kind":"arrow",)" POINTS R"("text":"","gxl":)" GXL_OK "}", true, true},
        MarkJsonCase{"unknownKeys", R"({"kind":"x",)" POINTS R"("text":"","id":7,"color":"red"})", true, false},
        MarkJsonCase{"textMissing", R"({"kind":"arrow","x":0,"y":0,"x2":1,"y2":1})", false, false},
        MarkJsonCase{"kindMissing", R"({)" POINTS R"("text":""})", false, false},
        MarkJsonCase{"y2Missing", R"({"kind":"arrow","x":0,"y":0,"x2":1,"text":""})", false, false},
        MarkJsonCase{"xText", R"({"kind":"arrow","x":"0","y":0,"x2":1,"y2":1,"text":""})", false, false},
        MarkJsonCase{"textNull", R"({"kind":"arrow",)" POINTS R"("text":null})", false, false},
        MarkJsonCase{"gxlWrongType", R"({"kind":"gxl",)" POINTS R"("text":"","gxl":[]})", false, false},
        MarkJsonCase{"gxlIncomplete", R"({"kind":"gxl",)" POINTS R"("text":"","gxl":{"tool":"Spotlight"}})", false,
                     false}),
    test::ByName());
#undef POINTS
#undef GXL_OK

} // namespace
} // namespace zanto
