#include "services/JsonCoding.h"

#include "support/TableNames.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace zanto {
namespace {

// Runs `action`, which must throw Error naming `part` in its message.
template <typename Error>
void expectErrorNaming(const std::function<void()>& action, const std::string& part)
{
    try {
        action();
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
    }
}

// Writes {"t": text} and reads the text back through the parser.
std::string textReadBack(const std::string& text)
{
    JsonWriter writer;
    writer.beginObject().key("t").text(text).endObject();
    const JsonDocument document = JsonDocument::parse(writer.result()); // the parser checks UTF-8
    return JsonObjectReader(document.root(), "").text("t");
}

// ---- numbers

struct NumberCase {
    double value;
    const char* text;
};

class JsonNumberTest : public testing::TestWithParam<NumberCase> { };

TEST_P(JsonNumberTest, WritesShortestTextThatReadsBackExactly)
{
    const NumberCase& c = GetParam();
    EXPECT_EQ(formatJsonNumber(c.value), c.text);

    JsonWriter writer;
    writer.beginObject().key("v").number(c.value).endObject();
    const JsonDocument document = JsonDocument::parse(writer.result());
    const double back = JsonObjectReader(document.root(), "").number("v");
    EXPECT_EQ(back, c.value) << writer.result();
}

INSTANTIATE_TEST_SUITE_P(Values, JsonNumberTest,
                         testing::Values(NumberCase{0, "0"}, NumberCase{90, "90"}, NumberCase{-3, "-3"},
                                         NumberCase{0.1, "0.1"},
                                         NumberCase{static_cast<double>(0.35f), "0.3499999940395355"},
                                         NumberCase{static_cast<double>(0.1f), "0.10000000149011612"},
                                         NumberCase{864000.5, "864000.5"}, NumberCase{1e21, "1e+21"},
                                         NumberCase{-0.0, "0"}, NumberCase{5e-324, "5e-324"},
                                         NumberCase{std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
                                         NumberCase{9007199254740993.0, "9007199254740992"}));

class JsonNonFiniteTest : public testing::TestWithParam<double> { };

TEST_P(JsonNonFiniteTest, FailsWithThePathInsteadOfWritingNull)
{
    JsonWriter writer;
    writer.beginObject().key("rows").beginArray().beginObject().key("items").beginArray();
    writer.beginObject().key("end").number(1).endObject();
    writer.beginObject().key("start");
    expectErrorNaming<EncodingError>([&] { writer.number(GetParam()); }, "rows[0].items[1].start");
    EXPECT_EQ(writer.result().find("null"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Values, JsonNonFiniteTest,
                         testing::Values(std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity()));

// ---- text

TEST(JsonWriterTest, EscapesTextAndKeepsUnicode)
{
    JsonWriter writer;
    writer.beginObject().key("t").text("a\"b\\c\n\t\x01/日本").endObject();
    EXPECT_EQ(writer.result(), "{\"t\":\"a\\\"b\\\\c\\n\\t\\u0001/日本\"}");
}

struct Utf8Case {
    const char* name;
    std::string input;
    std::string readBack;
};

class JsonWriterUtf8Test : public testing::TestWithParam<Utf8Case> { };

TEST_P(JsonWriterUtf8Test, WellFormedSequencesStayAndOthersBecomeReplacementCharacters)
{
    EXPECT_EQ(textReadBack(GetParam().input), GetParam().readBack);
}

INSTANTIATE_TEST_SUITE_P(Cases, JsonWriterUtf8Test,
                         testing::Values(Utf8Case{"invalidBytesInText", "ok\xff\xfe!", "ok\uFFFD\uFFFD!"},
                                         Utf8Case{"twoByte", "\xC3\xA9", "\xC3\xA9"},
                                         Utf8Case{"fourByteEmoji", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
                                         Utf8Case{"largestScalar", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
                                         Utf8Case{"overlongSlash", "\xC0\xAF", "\uFFFD\uFFFD"},
                                         Utf8Case{"overlongThreeByte", "\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},
                                         Utf8Case{"surrogate", "\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
                                         Utf8Case{"aboveUnicode", "\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
                                         Utf8Case{"truncatedAtEnd", "a\xE6\x97", "a\uFFFD\uFFFD"},
                                         Utf8Case{"loneContinuation", "\x80z", "\uFFFDz"},
                                         Utf8Case{"nulByte", std::string("a\0b", 3), std::string("a\0b", 3)}),
                         test::ByName());

TEST(JsonWriterTest, SeparatesArrayElementsAndMembers)
{
    JsonWriter writer;
    writer.beginObject().key("a").texts({"x", "y"}).key("b").numbers({}).key("c").beginArray();
    writer.beginObject().key("k").boolean(true).endObject().beginObject().endObject().endArray();
    writer.key("d").integer(-5000000000).endObject();
    EXPECT_EQ(writer.result(), R"({"a":["x","y"],"b":[],"c":[{"k":true},{}],"d":-5000000000})");
}

// ---- reading

struct ReadFailureCase {
    const char* name;
    const char* json;
    const char* expectedInMessage;
};

class JsonReadFailureTest : public testing::TestWithParam<ReadFailureCase> { };

TEST_P(JsonReadFailureTest, FailsWithAClearMessage)
{
    const ReadFailureCase& c = GetParam();
    expectErrorNaming<DecodingError>(
        [&] {
            const JsonDocument document = JsonDocument::parse(c.json);
            const JsonObjectReader reader(document.root(), "");
            reader.text("s");
            reader.number("n");
            reader.integer("i");
            reader.boolean("b");
            reader.texts("list");
            reader.numbers("numbers");
            reader.objects("objects", [](const JsonObjectReader& object) { object.number("v"); });
        },
        c.expectedInMessage);
}

#define VALID_TAIL R"("b":true,"list":["a"],"numbers":[1,2.5],"objects":[{"v":1}]})"
INSTANTIATE_TEST_SUITE_P(
    Cases, JsonReadFailureTest,
    testing::Values(
        ReadFailureCase{"syntax", R"({"s":)", "parse error"},
        ReadFailureCase{"trailing", R"({"s":"x"} x)", "parse error"},
        ReadFailureCase{"invalidUtf8", "{\"s\":\"\xff\"}", "parse error"},
        ReadFailureCase{"overflow", R"({"s":"x","n":1e400})", "overflow"},
        ReadFailureCase{"notObject", R"([1])", "expected an object at the top level"},
        ReadFailureCase{"missing", R"({"n":1})", "no value for key \"s\""},
        ReadFailureCase{"null", R"({"s":null})", "no value for key \"s\""},
        ReadFailureCase{"textIsNumber", R"({"s":1})", "expected a string at s"},
        ReadFailureCase{"numberIsText", R"({"s":"x","n":"1"})", "expected a number at n"},
        ReadFailureCase{"numberIsBool", R"({"s":"x","n":true})", "expected a number at n"},
        ReadFailureCase{"integerFraction", R"({"s":"x","n":1,"i":1.5,)" VALID_TAIL,
                        "whole number in the 64-bit range at i"},
        ReadFailureCase{"integerTooLarge", R"({"s":"x","n":1,"i":9223372036854775808,)" VALID_TAIL, "at i"},
        ReadFailureCase{"boolIsNumber", R"({"s":"x","n":1,"i":1,"b":1})", "expected a boolean at b"},
        ReadFailureCase{"listElement", R"({"s":"x","n":1,"i":1,"b":true,"list":["a",2]})", "list[1]"},
        ReadFailureCase{"numbersElementNull", R"({"s":"x","n":1,"i":1,"b":true,"list":[],"numbers":[1,null]})",
                        "numbers[1]"},
        ReadFailureCase{"objectElement",
                        R"({"s":"x","n":1,"i":1,"b":true,"list":[],"numbers":[],"objects":[{"v":1},{"w":1}]})",
                        "no value for key \"v\" at objects[1]"},
        ReadFailureCase{"objectIsArray", R"({"s":"x","n":1,"i":1,"b":true,"list":[],"numbers":[],"objects":[[1]]})",
                        "expected an object at objects[0]"}),
    test::ByName());

TEST(JsonDocumentTest, RefusesDeepNestingButReadsOrdinaryDepths)
{
    const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_NO_THROW(JsonDocument::parse(nested(64)));
    EXPECT_THROW(JsonDocument::parse(nested(100000)), DecodingError);
    EXPECT_THROW(JsonDocument::parse(std::string(100000, '{')), DecodingError);
}

TEST(JsonReaderTest, AcceptsIntegersForDoublesAndWholeDoublesForIntegers)
{
    const JsonDocument document =
        JsonDocument::parse(R"({"a":3,"b":18446744073709551615,"c":-2,"i":4.0,"j":9223372036854775807,"u":"x"})");
    const JsonObjectReader reader(document.root(), "");
    EXPECT_EQ(reader.number("a"), 3.0);
    EXPECT_EQ(reader.number("b"), 18446744073709551615.0);
    EXPECT_EQ(reader.number("c"), -2.0);
    EXPECT_EQ(reader.integer("i"), 4);
    EXPECT_EQ(reader.integer("j"), std::numeric_limits<std::int64_t>::max());
}

TEST(JsonReaderTest, OptionalKeysTreatNullAsAbsentButCheckTypes)
{
    const JsonDocument document = JsonDocument::parse(R"({"a":null,"b":[],"c":2,"d":"x"})");
    const JsonObjectReader reader(document.root(), "item");
    EXPECT_FALSE(reader.optionalNumber("a"));
    EXPECT_FALSE(reader.optionalNumber("missing"));
    EXPECT_FALSE(reader.has("a"));
    ASSERT_TRUE(reader.optionalTexts("b"));
    EXPECT_TRUE(reader.optionalTexts("b")->empty());
    EXPECT_EQ(reader.optionalNumber("c"), 2.0);
    EXPECT_THROW(reader.optionalNumber("d"), DecodingError);
    EXPECT_THROW(reader.optionalTexts("c"), DecodingError);
}

TEST(JsonReaderTest, NestedPathsAppearInMessages)
{
    const JsonDocument document = JsonDocument::parse(R"({"rows":[{"items":[{},{"end":"x"}]}]})");
    expectErrorNaming<DecodingError>(
        [&] {
            JsonObjectReader(document.root(), "").objects("rows", [](const JsonObjectReader& row) {
                row.objects("items", [](const JsonObjectReader& item) {
                    if (item.has("end")) item.number("end");
                });
            });
        },
        "rows[0].items[1].end");
}

} // namespace
} // namespace zanto
