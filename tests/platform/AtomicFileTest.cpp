#include "platform/AtomicFile.h"

#include "support/FileText.h"
#include "support/StoppedWriter.h"
#include "support/TableNames.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <system_error>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using zanto::test::entryCount;
using zanto::test::readText;
using zanto::test::TempDir;

namespace {

TEST(AtomicFile, WritesAndReplacesWithoutLeftovers)
{
    TempDir dir;
    zanto::writeFileAtomically(dir / "a.json", "first");
    EXPECT_EQ(readText(dir / "a.json"), "first");
    zanto::writeFileAtomically(dir / "a.json", "");
    EXPECT_EQ(readText(dir / "a.json"), "");
    const std::string big(3 << 20, 'z');
    zanto::writeFileAtomically(dir / "a.json", big);
    EXPECT_EQ(readText(dir / "a.json"), big);
    EXPECT_EQ(entryCount(dir.path()), 1u);
}

TEST(AtomicFile, KeepsThePermissionsOfTheFileItReplaces)
{
    TempDir dir;
    zanto::writeFileAtomically(dir / "a", "x");
    fs::permissions(dir / "a", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    zanto::writeFileAtomically(dir / "a", "y");
    EXPECT_EQ(fs::status(dir / "a").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

struct FailureCase {
    const char* name;
    std::function<fs::path(const TempDir&)> target;
    int error;
};

void PrintTo(const FailureCase& value, std::ostream* out)
{
    *out << value.name;
}

class AtomicFileFailure : public ::testing::TestWithParam<FailureCase> { };

// Every failure leaves the folder as it was and names the OS's reason.
TEST_P(AtomicFileFailure, LeavesNothingBehind)
{
    TempDir dir;
    std::ofstream(dir / "file") << "keep";
    fs::create_directory(dir / "folder");
    const fs::path target = GetParam().target(dir);
    try {
        zanto::writeFileAtomically(target, "new");
        FAIL() << "no error";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), GetParam().error);
        EXPECT_NE(std::string(error.what()).find(std::strerror(GetParam().error)), std::string::npos) << error.what();
    }
    EXPECT_EQ(entryCount(dir.path()), 2u);
    EXPECT_EQ(readText(dir / "file"), "keep");
    EXPECT_EQ(entryCount(dir / "folder"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AtomicFileFailure,
    ::testing::Values(FailureCase{"MissingFolder", [](const TempDir& d) { return d / "missing/a"; }, ENOENT},
                      FailureCase{"PathThroughAFile", [](const TempDir& d) { return d / "file/a"; }, ENOTDIR},
                      FailureCase{"TargetIsAFolder", [](const TempDir& d) { return d / "folder"; }, EISDIR},
                      FailureCase{"NameTooLong", [](const TempDir& d) { return d / std::string(300, 'n'); },
                                  ENAMETOOLONG}),
    zanto::test::ByName());

// A reader racing the writer sees one whole version or the other, never a mix.
TEST(AtomicFile, ReadersNeverSeeAPartialFile)
{
    TempDir dir;
    const std::string a(256 << 10, 'a');
    const std::string b(128 << 10, 'b');
    zanto::writeFileAtomically(dir / "f", a);
    std::atomic<bool> done = false;
    std::atomic<int> torn = 0;
    std::thread reader([&] {
        while (!done) {
            const std::string seen = readText(dir / "f");
            if (seen != a && seen != b) ++torn;
        }
    });
    for (int i = 0; i < 40; ++i) zanto::writeFileAtomically(dir / "f", i % 2 ? a : b);
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

std::vector<std::string> hiddenFiles(const fs::path& folder)
{
    return zanto::test::namesStartingWith(folder, ".zanto-write-");
}

// A writer killed mid-write leaves its hidden file; the next write to the
// folder removes it, but never one a live writer is still filling.
TEST(AtomicFile, NextWriteRemovesWhatAKilledWriterLeftOnly)
{
    TempDir dir;
    zanto::test::StoppedWriter writer(
        [&] { zanto::writeFileAtomically(dir / "recovery.json", std::string(1 << 20, 'r')); }, 64 << 10);
    ASSERT_TRUE(writer.stopped());
    const std::vector<std::string> left = hiddenFiles(dir.path());
    ASSERT_EQ(left.size(), 1u);

    zanto::writeFileAtomically(dir / "other.json", "live writer's file stays");
    EXPECT_EQ(hiddenFiles(dir.path()), left);
    writer.kill();
    EXPECT_EQ(hiddenFiles(dir.path()), left);
    zanto::writeFileAtomically(dir / "recovery.json", "after");
    EXPECT_TRUE(hiddenFiles(dir.path()).empty());
    EXPECT_EQ(readText(dir / "recovery.json"), "after");
}

} // namespace
