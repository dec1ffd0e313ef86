#include "organizer/model/OrganizerHistory.h"
#include "organizer/model/OrganizerRecoveryFile.h"

#include "support/FileText.h"
#include "support/PlaylistSamples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>

namespace zanto {
namespace {

OrganizerHistory retitled(OrganizerHistory history, const std::string& title)
{
    history.playlist.title = title;
    history.persist();
    return history;
}

TEST(OrganizerHistory, OpenStartsOverAndPersistStepsOnlyOnChange)
{
    OrganizerHistory history;
    history.open(test::sampleDocument());
    EXPECT_FALSE(history.changed());
    EXPECT_EQ(history.historyState(), history.playlist);

    history.persist();
    EXPECT_TRUE(history.undoStates.empty()) << "no change, no step";
    EXPECT_TRUE(history.changed());

    for (int i = 0; i <= 50; ++i) history = retitled(history, "edit " + std::to_string(i));
    EXPECT_EQ(history.undoStates.size(), OrganizerHistory::undoLimit);
    EXPECT_EQ(history.undoStates.front().title, "edit 0") << "the oldest step goes";
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(history.playlist.title, "edit 49");
    EXPECT_EQ(history.historyState(), history.playlist);
    history = retitled(history, "branch");
    EXPECT_TRUE(history.redoStates.empty());
    EXPECT_FALSE(history.redo());

    history.open(OrganizerDocument());
    EXPECT_TRUE(history.undoStates.empty());
    EXPECT_FALSE(history.changed());
}

TEST(OrganizerHistory, ADocumentThatCannotBeEncodedGivesNoBytes)
{
    OrganizerHistory history;
    history.open(test::sampleDocument());
    history.playlist.rows[0].items[0].end = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(history.persist(), std::nullopt);
    EXPECT_EQ(history.undoStates.size(), 1u) << "the edit itself stands";
}

// What a recovery file holds when the Organizer starts.
struct LoadCase {
    const char* name;
    std::string bytes;
    bool loads;
};

class OrganizerRecoveryLoad : public ::testing::TestWithParam<LoadCase> { };

TEST_P(OrganizerRecoveryLoad, LoadsAValidDocumentAndSetsTheRestAside)
{
    test::TempDir folder;
    OrganizerRecoveryFile file(folder / "ZANTORIX");
    test::writeText(file.path(), GetParam().bytes);
    const bool loaded = file.load().has_value();
    EXPECT_EQ(loaded, GetParam().loads);
    EXPECT_EQ(file.setAside().has_value(), !GetParam().loads);
    EXPECT_EQ(std::filesystem::exists(file.path()), GetParam().loads);
    if (file.setAside()) {
        EXPECT_EQ(test::readText(*file.setAside()), GetParam().bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerRecoveryLoad,
                         ::testing::Values(LoadCase{"Valid", test::sampleDocument().toJson(), true},
                                           LoadCase{"Garbage", "not json", false},
                                           LoadCase{"TooDeep", std::string(600, '[') + std::string(600, ']'), false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only an intact record of the very bytes recovered counts them as saved;
// whatever the record, the document loads.
TEST(OrganizerRecoveryFile, RecoveredBytesCountAsSavedOnlyByTheirRecord)
{
    test::TempDir folder;
    OrganizerRecoveryFile file(folder.path());
    const std::string bytes = test::sampleDocument().toJson();
    const std::pair<std::optional<std::string>, bool> records[] = {
        {std::nullopt, false}, {bytes, true}, {bytes + " ", false}, {std::nullopt, false}};
    ASSERT_EQ(file.write(test::sampleDocument(), std::nullopt), std::nullopt);
    for (const auto& [record, saved] : records) {
        ASSERT_EQ(file.markSaved(record), std::nullopt);
        EXPECT_EQ(file.load(), (OrganizerRecoveryFile::Loaded{test::sampleDocument(), saved}));
    }
    test::writeText(folder / "organizer-recovery.saved", "damaged");
    EXPECT_EQ(file.load(), (OrganizerRecoveryFile::Loaded{test::sampleDocument(), false}));
}

TEST(OrganizerRecoveryFile, WritesBytesOrReportsWhyNot)
{
    test::TempDir folder;
    OrganizerRecoveryFile file(folder.path());
    EXPECT_EQ(file.load(), std::nullopt) << "no file, nothing set aside";
    EXPECT_FALSE(file.setAside());
    const OrganizerDocument document = test::sampleDocument();
    EXPECT_EQ(file.write(document, std::nullopt), std::nullopt);
    EXPECT_EQ(test::readText(file.path()), document.toJson());

    OrganizerDocument broken = document;
    broken.rows[0].items[0].end = std::numeric_limits<double>::infinity();
    EXPECT_NE(file.write(broken, std::nullopt), std::nullopt);
    EXPECT_EQ(test::readText(file.path()), document.toJson()) << "a failed write keeps the last file";
}

// What the status line says after "自動復旧データの保存に失敗：".
TEST(OrganizerRecoveryFile, WriteFailureIsToldInJapaneseWithTheSystemsDetail)
{
    test::TempDir dir;
    test::writeText(dir / "blocker", "a file where the folder should be");
    std::filesystem::create_directories(dir / "folder" / "organizer-recovery.json" / "kept");
    const std::pair<std::filesystem::path, QString> cases[] = {
        {dir / "blocker" / "ZANTORIX",
         "「organizer-recovery.json」を保存できません。保存先のフォルダが見つかりません。（Not a directory）"},
        {dir / "folder",
         "「organizer-recovery.json」を保存できません。同じ名前のフォルダがあります。（Is a directory）"},
    };
    for (const auto& [folder, message] : cases)
        EXPECT_EQ(OrganizerRecoveryFile(folder).write(OrganizerDocument{}, std::nullopt), message);
}

} // namespace
} // namespace zanto
