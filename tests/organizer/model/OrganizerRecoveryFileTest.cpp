// What the status line says after "自動復旧データの保存に失敗：" when the
// recovery file cannot be written: Japanese, with the system's detail.
#include "organizer/model/OrganizerRecoveryFile.h"

#include "support/FileText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace zanto {
namespace {

using test::TempDir;

TEST(OrganizerRecoveryFile, WriteFailureIsToldInJapaneseWithTheSystemsDetail)
{
    TempDir dir;
    test::writeText(dir / "blocker", "a file where the folder should be");
    std::filesystem::create_directories(dir / "folder" / "organizer-recovery.json" / "kept");
    const std::pair<std::filesystem::path, QString> cases[] = {
        {dir / "blocker" / "ZANTORIX", "「organizer-recovery.json」を保存できません。保存先のフォルダが見つかりません。（Not a directory）"},
        {dir / "folder", "「organizer-recovery.json」を保存できません。同じ名前のフォルダがあります。（Is a directory）"},
    };
    for (const auto& [folder, message] : cases)
        EXPECT_EQ(OrganizerRecoveryFile(folder).write(OrganizerDocument{}, std::nullopt), message);
}

} // namespace
} // namespace zanto
