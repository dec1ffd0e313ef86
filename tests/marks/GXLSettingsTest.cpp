#include "marks/GXLSettings.h"

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "services/JsonCoding.h"
#include "support/TableNames.h"

namespace zanto {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

GXLSettings validSettings()
{
    GXLSettings settings;
    settings.tool = "Player Ring";
    settings.points = {GXLPoint{0.5, 0.45}};
    return settings;
}

TEST(GXLSettingsTest, DefaultsOfANewValue)
{
    const GXLSettings settings = validSettings();
    EXPECT_EQ(settings.color, (std::vector<double>{0.1, 0.6, 1.0, 1.0}));
    EXPECT_EQ(settings.size, 90);
    EXPECT_EQ(settings.perspective, 35);
    EXPECT_EQ(settings.opacity, 85);
    EXPECT_EQ(settings.speed, 1);
    EXPECT_TRUE(settings.validate());
}

TEST(GXLSettingsTest, ToolTableInOrderAndEveryToolValid)
{
    const std::vector<std::string> expected{"Player Ring",     "Team Rings",          "Ring Trail",   "Lofted Arc",
                                            "Spotlight",       "Passing Lane",        "Vision Cone",  "Team Fill",
                                            "Ground Ring",     "Ground Team",         "Space Circle", "Space Polygon",
                                            "Space Rectangle", "Ground Passing Lane", "Ground Vision"};
    EXPECT_EQ(GXLSettings::tools(), expected);
    int groundCount = 0;
    for (const std::string& tool : GXLSettings::tools()) {
        GXLSettings settings = validSettings();
        settings.tool = tool;
        EXPECT_TRUE(settings.validate()) << tool;
        groundCount += settings.ground() ? 1 : 0;
    }
    EXPECT_EQ(groundCount, 7);
}

struct GroundCase {
    const char* tool;
    bool ground;
};

class GXLGroundTest : public testing::TestWithParam<GroundCase> { };

TEST_P(GXLGroundTest, PrefixDecides)
{
    GXLSettings settings = validSettings();
    settings.tool = GetParam().tool;
    EXPECT_EQ(settings.ground(), GetParam().ground);
}

INSTANTIATE_TEST_SUITE_P(Tools, GXLGroundTest,
                         testing::Values(GroundCase{"Ground Ring", true}, GroundCase{"Space Polygon", true},
                                         GroundCase{"Ground Vision", true}, GroundCase{"ground ring", false},
                                         GroundCase{"Player Ring", false}, GroundCase{"Team Fill", false},
                                         GroundCase{"Spaced Out", true}, GroundCase{"Spacious", false},
                                         GroundCase{"", false}, GroundCase{" Ground Ring", false}));

// One change to valid settings, and whether the result still validates.
struct ValidateCase {
    const char* name;
    std::function<void(GXLSettings&)> change;
    bool valid;
};

class GXLValidateTest : public testing::TestWithParam<ValidateCase> { };

TEST_P(GXLValidateTest, BoundsAreInclusiveAndNonFiniteFails)
{
    GXLSettings settings = validSettings();
    GetParam().change(settings);
    EXPECT_EQ(settings.validate(), GetParam().valid);
}

std::vector<GXLPoint> points(std::size_t count)
{
    return std::vector<GXLPoint>(count, GXLPoint{0.3, 0.7});
}

const ValidateCase validateCases[] = {
    {"toolLowerCase", [](GXLSettings& s) { s.tool = "ground ring"; }, false},
    {"toolTrailingSpace", [](GXLSettings& s) { s.tool = "Player Ring "; }, false},
    {"toolEmpty", [](GXLSettings& s) { s.tool = ""; }, false},
    {"pointOrigin",
     [](GXLSettings& s) {
         s.points = {GXLPoint{0, 0}};
     },
     true},
    {"pointCorner",
     [](GXLSettings& s) {
         s.points = {GXLPoint{1, 1}};
     },
     true},
    {"pointXAbove",
     [](GXLSettings& s) {
         s.points = {GXLPoint{1.0000001, 0.5}};
     },
     false},
    {"pointYBelow",
     [](GXLSettings& s) {
         s.points = {GXLPoint{0.5, -0.0000001}};
     },
     false},
    {"pointNaN",
     [](GXLSettings& s) {
         s.points = {GXLPoint{nan, 0.5}};
     },
     false},
    {"pointInfinite",
     [](GXLSettings& s) {
         s.points = {GXLPoint{0.5, inf}};
     },
     false},
    {"lastPointBad",
     [](GXLSettings& s) {
         s.points = points(5);
         s.points.back().y = 2;
     },
     false},
    {"points128", [](GXLSettings& s) { s.points = points(128); }, true},
    {"points129", [](GXLSettings& s) { s.points = points(129); }, false},
    {"pointsNone", [](GXLSettings& s) { s.points.clear(); }, false},
    {"color3",
     [](GXLSettings& s) {
         s.color = {0.1, 0.2, 0.3};
     },
     false},
    {"color5",
     [](GXLSettings& s) {
         s.color = {0.1, 0.2, 0.3, 0.4, 0.5};
     },
     false},
    {"colorAbove", [](GXLSettings& s) { s.color[1] = 1.5; }, false},
    {"colorNaN", [](GXLSettings& s) { s.color[3] = nan; }, false},
    {"colorBounds",
     [](GXLSettings& s) {
         s.color = {0, 1, 0, 1};
     },
     true},
    {"size10", [](GXLSettings& s) { s.size = 10; }, true},
    {"size400", [](GXLSettings& s) { s.size = 400; }, true},
    {"size9_99", [](GXLSettings& s) { s.size = 9.99; }, false},
    {"size400_01", [](GXLSettings& s) { s.size = 400.01; }, false},
    {"sizeNaN", [](GXLSettings& s) { s.size = nan; }, false},
    {"perspective5", [](GXLSettings& s) { s.perspective = 5; }, true},
    {"perspective100", [](GXLSettings& s) { s.perspective = 100; }, true},
    {"perspective4_99", [](GXLSettings& s) { s.perspective = 4.99; }, false},
    {"perspectiveInfinite", [](GXLSettings& s) { s.perspective = inf; }, false},
    {"opacity0", [](GXLSettings& s) { s.opacity = 0; }, true},
    {"opacity100", [](GXLSettings& s) { s.opacity = 100; }, true},
    {"opacityAbove", [](GXLSettings& s) { s.opacity = 100.5; }, false},
    {"opacityNaN", [](GXLSettings& s) { s.opacity = nan; }, false},
    {"speed0", [](GXLSettings& s) { s.speed = 0; }, true},
    {"speed4", [](GXLSettings& s) { s.speed = 4; }, true},
    {"speed4_01", [](GXLSettings& s) { s.speed = 4.01; }, false},
    {"speedNegative", [](GXLSettings& s) { s.speed = -0.01; }, false},
    {"speedNaN", [](GXLSettings& s) { s.speed = nan; }, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, GXLValidateTest, testing::ValuesIn(validateCases), test::ByName());

// ---- JSON

TEST(GXLSettingsJsonTest, EncodesEveryKeyInOrder)
{
    GXLSettings settings = validSettings();
    settings.points.push_back(GXLPoint{1, 0.25});
    settings.speed = static_cast<double>(0.35f);
    EXPECT_EQ(encodeJson(settings),
              R"({"tool":"Player Ring","points":[{"x":0.5,"y":0.45},{"x":1,"y":0.25}],)"
              R"("color":[0.1,0.6,1,1],"size":90,"perspective":35,"opacity":85,"speed":0.3499999940395355})");
    EXPECT_EQ(decodeJson<GXLSettings>(encodeJson(settings)), settings);
}

TEST(GXLSettingsJsonTest, OutOfRangeValuesSurviveAndToolsOutsideTheTableDecode)
{
    GXLSettings settings;
    settings.tool = "Laser Beam";
    settings.points = std::vector<GXLPoint>(200, GXLPoint{-3, 7});
    settings.color = {2, -1};
    settings.size = 1e6;
    const GXLSettings back = decodeJson<GXLSettings>(encodeJson(settings));
    EXPECT_EQ(back, settings);
    EXPECT_FALSE(back.validate());
}

TEST(GXLSettingsJsonTest, NonFiniteValuesCannotBeWritten)
{
    GXLSettings settings = validSettings();
    settings.opacity = nan;
    EXPECT_THROW(encodeJson(settings), EncodingError);
}

constexpr const char* fullJson = R"({"tool":"Spotlight","points":[{"x":0.5,"y":0.45}],"color":[0,0,0,1],)"
                                 R"("size":90,"perspective":35,"opacity":85,"speed":1})";

class GXLSettingsMissingKeyTest : public testing::TestWithParam<const char*> { };

TEST_P(GXLSettingsMissingKeyTest, EveryKeyIsRequiredDespiteDefaults)
{
    std::string json = fullJson;
    const std::string piece = GetParam();
    const std::size_t at = json.find(piece);
    ASSERT_NE(at, std::string::npos);
    json.erase(at, piece.size());
    EXPECT_NO_THROW(decodeJson<GXLSettings>(fullJson));
    EXPECT_THROW(decodeJson<GXLSettings>(json), DecodingError) << json;
}

INSTANTIATE_TEST_SUITE_P(Keys, GXLSettingsMissingKeyTest,
                         testing::Values(R"("tool":"Spotlight",)", R"("points":[{"x":0.5,"y":0.45}],)",
                                         R"("color":[0,0,0,1],)", R"("size":90,)", R"("perspective":35,)",
                                         R"("opacity":85,)", R"(,"speed":1)"));

struct BadJsonCase {
    const char* name;
    const char* json;
};

class GXLSettingsBadJsonTest : public testing::TestWithParam<BadJsonCase> { };

TEST_P(GXLSettingsBadJsonTest, FailsToDecode)
{
    EXPECT_THROW(decodeJson<GXLSettings>(GetParam().json), DecodingError);
}

// Every row is whole but for the one value named.
#define NUMBERS R"("size":90,"perspective":35,"opacity":85,"speed":1})"
#define EMPTY_LISTS R"("points":[],"color":[],)"
INSTANTIATE_TEST_SUITE_P(
    Cases, GXLSettingsBadJsonTest,
    testing::Values(
        BadJsonCase{"pointWithoutY", R"({"tool":"Spotlight","points":[{"x":0.5}],"color":[0,0,0,1],)" NUMBERS},
        BadJsonCase{"pointAsArray", R"({"tool":"Spotlight","points":[[0.5,0.5]],"color":[0,0,0,1],)" NUMBERS},
        BadJsonCase{"colorText", R"({"tool":"Spotlight","points":[],"color":["red"],)" NUMBERS},
        BadJsonCase{"toolNumber", R"({"tool":3,)" EMPTY_LISTS NUMBERS},
        BadJsonCase{"speedNull",
                    R"({"tool":"Spotlight",)" EMPTY_LISTS R"("size":90,"perspective":35,"opacity":85,"speed":null})"},
        BadJsonCase{"sizeText",
                    R"({"tool":"Spotlight",)" EMPTY_LISTS R"("size":"90","perspective":35,"opacity":85,"speed":1})"}),
    test::ByName());
#undef EMPTY_LISTS
#undef NUMBERS

TEST(GXLSettingsJsonTest, EmptyArraysAndUnknownKeysDecode)
{
    const GXLSettings settings = decodeJson<GXLSettings>(
        R"({"speed":2,"tool":"Ring Trail","extra":[1,2],"points":[],"color":[],"size":10,"perspective":5,"opacity":0})");
    EXPECT_EQ(settings.tool, "Ring Trail");
    EXPECT_TRUE(settings.points.empty());
    EXPECT_TRUE(settings.color.empty());
    EXPECT_EQ(settings.speed, 2);
    EXPECT_FALSE(settings.validate());
}

} // namespace
} // namespace zanto
