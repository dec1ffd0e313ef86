#include "services/MediaExporter.h"

#include <string>
#include <thread>

#include <QString>
#include <gtest/gtest.h>

#include "support/FileText.h"
#include "support/TableNames.h"
#include "support/TempDir.h"

namespace zanto {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, std::size_t bytes)
{
    test::writeText(path, std::string(bytes, 'x'));
}

// ---- matches

struct MatchCase {
    const char* name;
    const char* file; // file to look at, inside the folder
    const char* sourceName;
    std::int64_t sourceSize;
    bool expected;
};

class MediaExporterMatchesTest : public testing::TestWithParam<MatchCase> { };

TEST_P(MediaExporterMatchesTest, ComparesNameAndSizeOnly)
{
    const MatchCase& c = GetParam();
    test::TempDir folder;
    writeFile(folder / "match.mp4", 1234);
    writeFile(folder / "試合.mov", 10);
    fs::create_directory(folder / "folder.mp4");
    writeFile(folder / "\u30AB\u3099\u30FC\u30EB.mp4", 5); // "ゴール"-like name stored decomposed
    writeFile(folder / "Cafe\u0301.mov", 6);
    const ExportRequest::Source source{c.sourceName, c.sourceSize, 999.0};
    EXPECT_EQ(MediaExporter::matches(folder / c.file, source), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MediaExporterMatchesTest,
    testing::Values(
        MatchCase{"same", "match.mp4", "match.mp4", 1234, true},
        MatchCase{"japaneseName", "試合.mov", "試合.mov", 10, true},
        MatchCase{"otherSize", "match.mp4", "match.mp4", 1235, false},
        MatchCase{"otherCase", "match.mp4", "Match.mp4", 1234, false},
        MatchCase{"otherName", "match.mp4", "match.mov", 1234, false},
        MatchCase{"missingFile", "gone.mp4", "gone.mp4", 0, false},
        MatchCase{"negativeSize", "match.mp4", "match.mp4", -1, false},
        MatchCase{"folder", "folder.mp4", "folder.mp4", 0, false},
        MatchCase{"decomposedFileComposedName", "\u30AB\u3099\u30FC\u30EB.mp4", "\u30AC\u30FC\u30EB.mp4", 5, true},
        MatchCase{"decomposedOnBothSides", "\u30AB\u3099\u30FC\u30EB.mp4", "\u30AB\u3099\u30FC\u30EB.mp4", 5, true},
        MatchCase{"composedAccent", "Cafe\u0301.mov", "Caf\u00E9.mov", 6, true},
        MatchCase{"withoutTheMark", "\u30AB\u3099\u30FC\u30EB.mp4", "\u30AB\u30FC\u30EB.mp4", 5, false},
        MatchCase{"composedAccentOtherCase", "Cafe\u0301.mov", "CAF\u00C9.mov", 6, false},
        MatchCase{"composedNameOtherSize", "Cafe\u0301.mov", "Caf\u00E9.mov", 7, false}),
    test::ByName());

TEST(MediaExporterTest, MatchesFilesLargerThanFourGiB)
{
    test::TempDir folder;
    const fs::path file = folder / "long.mp4";
    writeFile(file, 1);
    const std::int64_t size = (std::int64_t{1} << 32) + 17;
    fs::resize_file(file, static_cast<std::uintmax_t>(size)); // sparse: no disk used
    EXPECT_TRUE(MediaExporter::matches(file, {"long.mp4", size, 0}));
    EXPECT_FALSE(MediaExporter::matches(file, {"long.mp4", 17, 0}));
    EXPECT_FALSE(MediaExporter::matches(file, {"long.mp4", size - 1, 0}));
}

TEST(MediaExporterTest, CancelIsSeenFromAnotherThread)
{
    MediaExporter exporter;
    EXPECT_FALSE(exporter.isCancelled());
    std::thread([&] { exporter.cancel(); }).join();
    EXPECT_TRUE(exporter.isCancelled());
}

// ---- safeFilename

struct NameCase {
    const char* name;
    std::string input;
    std::string expected;
};

class SafeFilenameTest : public testing::TestWithParam<NameCase> { };

TEST_P(SafeFilenameTest, MakesAUsableName)
{
    EXPECT_EQ(safeFilename(GetParam().input), GetParam().expected);
}

std::string repeat(const std::string& piece, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i) result += piece;
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeFilenameTest,
    testing::Values(NameCase{"plain", "Match 1", "Match 1"},
                    NameCase{"eachUnsafeCharacter", "a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
                    NameCase{"runsNotMerged", "//::", "____"},
                    NameCase{"controls",
                             "a\nb\rc\td\x01"
                             "e\x7f"
                             "f",
                             "a_b_c_d_e_f"},
                    NameCase{"c1Control", "a\u0085b", "a_b"}, NameCase{"notTrimmed", "  name  ", "  name  "},
                    NameCase{"empty", "", "clip"}, NameCase{"spaces", "   ", "clip"},
                    NameCase{"ideographicSpace", "\u3000\u3000", "clip"}, NameCase{"noBreakSpace", "\u00a0", "clip"},
                    NameCase{"onlyControlsBecomeUnderscores", "\n\n", "__"},
                    NameCase{"japanese", "前半：攻撃/守備", "前半：攻撃_守備"},
                    NameCase{"cutAt70Ascii", std::string(75, 'a'), std::string(70, 'a')},
                    NameCase{"cutAt70Japanese", repeat("日", 80), repeat("日", 70)},
                    NameCase{"cutNeverSplitsEmoji", repeat("⚽", 69) + "😀😀", repeat("⚽", 69) + "😀"},
                    NameCase{"combiningMarkStaysWithLetter", repeat("a", 69) + "e\u0301x", repeat("a", 69) + "e\u0301"},
                    NameCase{"blankAfterCutIsClip", std::string(70, ' ') + "x", "clip"},
                    NameCase{"invalidUtf8Replaced",
                             "ab\xff\xfe"
                             "c",
                             "ab\uFFFD\uFFFDc"},
                    NameCase{"truncatedSequence", "ab\xe6\x97", "ab\uFFFD\uFFFD"}),
    test::ByName());

TEST(SafeFilenameTest, ResultIsAlwaysValidUtf8WithoutUnsafeBytes)
{
    // Every byte value, alone and inside text, gives a name that is valid
    // UTF-8 and holds none of the forbidden ASCII characters.
    for (int byte = 0; byte < 256; ++byte) {
        const std::string input = "x" + std::string(1, static_cast<char>(byte)) + "y";
        const std::string name = safeFilename(input);
        EXPECT_EQ(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toStdString(), name);
        for (char forbidden : std::string("/\\:*?\"<>|\n\r\t"))
            EXPECT_EQ(name.find(forbidden), std::string::npos) << byte;
    }
}

// ---- xmlTime

struct TimeCase {
    std::int64_t value;
    std::int32_t timeScale;
    const char* expected;
};

class XmlTimeTest : public testing::TestWithParam<TimeCase> { };

TEST_P(XmlTimeTest, WritesValueOverScaleUnreduced)
{
    EXPECT_EQ(xmlTime(GetParam().value, GetParam().timeScale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, XmlTimeTest,
                         testing::Values(TimeCase{0, 1, "0/1s"}, TimeCase{1001, 30000, "1001/30000s"},
                                         TimeCase{60000, 60000, "60000/60000s"}, TimeCase{-3, 25, "-3/25s"},
                                         TimeCase{INT64_MAX, INT32_MAX, "9223372036854775807/2147483647s"}));

} // namespace
} // namespace zanto
