#include "organizer/model/OrganizerEdits.h"

#include "services/ExportFailure.h"
#include "support/PlaylistSamples.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace zanto {
namespace {

using test::idsOf;

struct MoveCase {
    const char* name;
    std::set<std::string> moving;
    int to;
    int at;
    int insertion; // -1: refused
    std::vector<std::vector<std::string>> ids;
};

class OrganizerTimelineEditingMove : public ::testing::TestWithParam<MoveCase> { };

TEST_P(OrganizerTimelineEditingMove, PlacesTheBlock)
{
    const MoveCase& c = GetParam();
    const std::optional<OrganizerMove> move = edits::movingItems(test::sampleDocument(), c.moving, c.to, c.at);
    if (c.insertion < 0) {
        EXPECT_EQ(move, std::nullopt);
        return;
    }
    ASSERT_TRUE(move);
    EXPECT_EQ(move->insertion, c.insertion);
    EXPECT_EQ(move->count, static_cast<int>(c.moving.size()));
    EXPECT_EQ(idsOf(move->document), c.ids);
    EXPECT_EQ(edits::refusal(move->document), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerTimelineEditingMove,
    ::testing::Values(MoveCase{"BeforeItsFollowerStays", {"I1"}, 0, 1, 0, {{"I1", "I2", "I3"}, {"I4", "I5"}}},
                      MoveCase{"AfterTheLast", {"I1"}, 0, 3, 2, {{"I2", "I3", "I1"}, {"I4", "I5"}}},
                      MoveCase{"SelectionToAnotherRow", {"I3", "I1"}, 1, 1, 1, {{"I2"}, {"I4", "I1", "I3", "I5"}}},
                      MoveCase{"PastTheEndClamps", {"I2"}, 1, 99, 2, {{"I1", "I3"}, {"I4", "I5", "I2"}}},
                      MoveCase{"TheWholeRowLeavesItEmpty", {"I4", "I5"}, 0, 0, 0, {{"I4", "I5", "I1", "I2", "I3"}, {}}},
                      MoveCase{"MissingItem", {"none"}, 0, 0, -1, {}},
                      MoveCase{"ItemsOfTwoRows", {"I1", "I4"}, 0, 0, -1, {}},
                      MoveCase{"MissingTarget", {"I1"}, 2, 0, -1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// One video item of a 60-second movie under a source offset, and one title.
OrganizerDocument trimDocument(double offset)
{
    OrganizerDocument document = test::sampleDocument();
    document.sources = {test::sampleSource("S1", offset)};
    document.rows[0].items = {test::sampleItem("V"), test::sampleItem("T", "title", "")};
    document.rows.resize(1);
    return document;
}

std::optional<double> sixtySeconds(const std::string& path)
{
    return path == "/videos/S1.mp4" ? std::optional<double>(60) : std::nullopt;
}

struct TrimCase {
    const char* name;
    double offset;
    const char* item;
    double start;
    double end;
    bool sourceLinked;
    // Expected: "ok", "silent" or "range"; with ok, the stored end.
    const char* outcome;
    double storedEnd;
};

class OrganizerTimelineEditingTrim : public ::testing::TestWithParam<TrimCase> { };

TEST_P(OrganizerTimelineEditingTrim, ValidatesThenStores)
{
    const TrimCase& c = GetParam();
    OrganizerDocument document = trimDocument(c.offset);
    if (!c.sourceLinked) document.sources[0].path.clear();
    const std::string outcome = c.outcome;
    if (outcome == "range") {
        EXPECT_THROW(edits::trimmingItem(document, c.item, c.start, c.end, sixtySeconds), ExportFailure);
        return;
    }
    const auto trimmed = edits::trimmingItem(document, c.item, c.start, c.end, sixtySeconds);
    if (outcome == "silent") {
        EXPECT_EQ(trimmed, std::nullopt);
        return;
    }
    ASSERT_TRUE(trimmed);
    EXPECT_EQ(edits::itemWithId(*trimmed, c.item)->start, c.start);
    EXPECT_EQ(edits::itemWithId(*trimmed, c.item)->end, c.storedEnd);
    EXPECT_EQ(edits::refusal(*trimmed), std::nullopt);
}

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerTimelineEditingTrim,
                         ::testing::Values(TrimCase{"OffsetMinusTwoStartOne", -2, "V", 1, 4, true, "range", 0},
                                           TrimCase{"OffsetMinusTwoStartTwo", -2, "V", 2, 4, true, "ok", 4},
                                           TrimCase{"EndWithinTolerance", 0, "V", 1, 60.01, true, "ok", 60.01},
                                           TrimCase{"EndPastTolerance", 0, "V", 1, 60.05, true, "range", 0},
                                           TrimCase{"UnlinkedSourceIsNotTested", 0, "V", 1, 500, false, "ok", 500},
                                           TrimCase{"TitleCappedAtTenDays", 0, "T", 10, 900000, true, "ok", 864000},
                                           TrimCase{"StartPastTheCap", 0, "T", 864000, 900000, true, "silent", 0},
                                           TrimCase{"NegativeStart", -2, "V", -1, 4, true, "silent", 0},
                                           TrimCase{"StartAtEnd", 0, "V", 4, 4, true, "silent", 0},
                                           TrimCase{"NotFinite", 0, "V", 1, nan, true, "silent", 0},
                                           TrimCase{"MissingItem", 0, "none", 1, 4, true, "silent", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// The number grammar, read under a locale whose decimal separator is a comma.
struct NumberCase {
    const char* text;
    std::optional<double> value;
};

class OrganizerInspectorEditsNumbers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zanto-locales";
        std::filesystem::create_directories(folder);
        const std::string command = "localedef -i de_DE -f UTF-8 " + (folder / "de_DE.UTF-8").string() + " 2>/dev/null";
        if (std::system(command.c_str()) == 0) setenv("LOCPATH", folder.c_str(), 1);
        german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    static void TearDownTestSuite() { std::setlocale(LC_ALL, "C"); }
    static inline bool german = false;
};

TEST_F(OrganizerInspectorEditsNumbers, ReadTheSameUnderAGermanLocale)
{
    if (!german) GTEST_SKIP() << "the de_DE.UTF-8 locale cannot be made here (localedef and the locales package)";
    const std::vector<NumberCase> cases = {
        {"1e2", 100},  {"-0", 0},    {"+5", 5},   {".5", 0.5},  {"5.", 5},       {"2.25", 2.25}, {"-2.5E-1", -0.25},
        {" 1", {}},    {"1 ", {}},   {"1,5", {}}, {"1:30", {}}, {"", {}},        {"inf", {}},    {"nan", {}},
        {"1e999", {}}, {"0x10", {}}, {"+-1", {}}, {"-", {}},    {"1\u00a0", {}},
    };
    for (const NumberCase& c : cases) {
        const std::optional<double> value = edits::parseSeconds(QString::fromUtf8(c.text));
        EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        if (value && *value == 0) {
            EXPECT_FALSE(std::signbit(*value)) << c.text;
        }
    }
}

TEST(OrganizerInspectorEditsLabels, SplitAtCommasAndTrimBlanksOnly)
{
    using Labels = std::vector<std::string>;
    EXPECT_EQ(edits::splitLabels(" a ,  ,, b\t,\u3000c\u00a0"), (Labels{"a", "b", "c"}));
    EXPECT_EQ(edits::splitLabels("攻撃、守備"), (Labels{"攻撃、守備"}));
    EXPECT_EQ(edits::splitLabels("x\n, y"), (Labels{"x\n", "y"}));
    EXPECT_EQ(edits::splitLabels(""), Labels{});
}

struct ApplyCase {
    const char* name;
    double offset;
    const char* item;
    const char* start;
    const char* end;
    bool readable;
    const char* refusal; // empty: accepted
};

class OrganizerInspectorEditsApply : public ::testing::TestWithParam<ApplyCase> { };

TEST_P(OrganizerInspectorEditsApply, StoresOrRefuses)
{
    const ApplyCase& c = GetParam();
    const OrganizerDocument document = trimDocument(c.offset);
    bool read = false;
    const OrganizerDurationReader reader = [&](const std::string& path) {
        read = true;
        return c.readable ? sixtySeconds(path) : std::nullopt;
    };
    const OrganizerItemFields fields{"  名前 ", "note\n", " a, b ", c.start, c.end, false};
    if (*c.refusal) {
        try {
            edits::applyingFields(document, c.item, fields, reader);
            ADD_FAILURE() << "accepted";
        } catch (const ExportFailure& failure) {
            EXPECT_EQ(failure.message, c.refusal);
        }
        return;
    }
    const OrganizerDocument result = edits::applyingFields(document, c.item, fields, reader);
    const OrganizerItem& item = *edits::itemWithId(result, c.item);
    EXPECT_EQ(item.name, "  名前 ");
    EXPECT_EQ(item.note, "note\n");
    EXPECT_EQ(item.labels, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(item.start, *edits::parseSeconds(c.start));
    EXPECT_EQ(item.end, *edits::parseSeconds(c.end));
    EXPECT_FALSE(item.enabled);
    EXPECT_EQ(read, std::string(c.item) == "V") << "only video items read their movie";
}

const char* const invalid = organizerInvalidSecondsMessage;

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerInspectorEditsApply,
    ::testing::Values(ApplyCase{"TenDays", 0, "T", "0", "864000", true, ""},
                      ApplyCase{"PastTenDays", 0, "T", "0", "864000.5", true, invalid},
                      ApplyCase{"StartAtEnd", 0, "T", "3", "3", true, invalid},
                      ApplyCase{"MinusZeroStart", 0, "V", "-0", "3", true, ""},
                      ApplyCase{"NegativeStart", 2.5, "V", "-2.5", "3", true, invalid},
                      ApplyCase{"EndWithinTolerance", 2.5, "V", "1", "57.52", true, ""},
                      ApplyCase{"EndPastTolerance", 2.5, "V", "1", "57.53", true, "映像の範囲外です。"},
                      ApplyCase{"StartBeforeTheFile", -0.1, "V", "0", "3", true, "映像の範囲外です。"},
                      ApplyCase{"UnreadableMovieIsNotTested", 0, "V", "1", "500", false, ""},
                      ApplyCase{"MissingItem", 0, "none", "1", "2", true, invalid}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto
