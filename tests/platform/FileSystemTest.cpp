#include "platform/FileSystem.h"
#include "platform/UserFileError.h"

#include "support/FileText.h"
#include "support/TableNames.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <fstream>
#include <tuple>
#include <system_error>

namespace fs = std::filesystem;
using zanto::test::readText;
using zanto::test::systemErrorCode;
using zanto::test::TempDir;
using zanto::test::writeText;

namespace {

// root/pkg/media/a.mov, root/outside/secret and links that lead in and out.
class ResolvedPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root / "pkg/media");
        fs::create_directories(root / "outside");
        writeText(root / "pkg/media/a.mov", "movie");
        writeText(root / "outside/secret", "secret");
        fs::create_symlink(root / "outside/secret", root / "pkg/media/outlink");
        fs::create_symlink("..", root / "pkg/media/uplink");
        fs::create_symlink(root / "outside", root / "pkg/media/abslink");
        fs::create_symlink("loop-b", root / "pkg/media/loop-a");
        fs::create_symlink("loop-a", root / "pkg/media/loop-b");
    }
    fs::path base() const { return zanto::resolvedPath(root.path()); }

    TempDir root;
};

struct ResolveCase {
    const char* input;    // relative to the test folder
    const char* expected; // relative to the test folder
};

TEST_F(ResolvedPathTest, WalksLinksAndDotsLikeTheKernel)
{
    const ResolveCase cases[] = {
        {"pkg/media/a.mov", "pkg/media/a.mov"},
        {"pkg/media/../media/./a.mov", "pkg/media/a.mov"},
        {"pkg//media///a.mov", "pkg/media/a.mov"},
        {"pkg/media/missing/../a.mov", "pkg/media/a.mov"},
        {"pkg/media/not-yet.mov", "pkg/media/not-yet.mov"},
        {"pkg/media/outlink", "outside/secret"},
        {"pkg/media/missing/../outlink", "outside/secret"},
        {"pkg/media/uplink/media/a.mov", "pkg/media/a.mov"},
        {"pkg/media/uplink/x", "pkg/x"},
        {"pkg/media/abslink/secret", "outside/secret"},
        {"pkg/media/abslink/../pkg", "pkg"},
        {"pkg/media/../../outside/secret", "outside/secret"},
    };
    for (const auto& c : cases) EXPECT_EQ(zanto::resolvedPath(root.path() / c.input), base() / c.expected) << c.input;
}

TEST_F(ResolvedPathTest, ClimbingAboveTheRootStopsThere)
{
    fs::path deep = root.path();
    for (int i = 0; i < 64; ++i) deep /= "..";
    EXPECT_EQ(zanto::resolvedPath(deep), fs::path("/"));
}

TEST_F(ResolvedPathTest, RelativeInputIsTakenFromTheWorkingFolder)
{
    EXPECT_EQ(zanto::resolvedPath("x/../y"), zanto::resolvedPath(fs::current_path()) / "y");
}

TEST_F(ResolvedPathTest, LinkLoopIsAnError)
{
    EXPECT_EQ(systemErrorCode([&] { zanto::resolvedPath(root / "pkg/media/loop-a"); }), ELOOP);
}

TEST(AbsoluteEntryPath, DropsTrailingSeparatorAndDots)
{
    EXPECT_EQ(zanto::absoluteEntryPath("/a/b/"), fs::path("/a/b"));
    EXPECT_EQ(zanto::absoluteEntryPath("/a/./b/../c"), fs::path("/a/c"));
    EXPECT_EQ(zanto::absoluteEntryPath("/"), fs::path("/"));
    EXPECT_EQ(zanto::absoluteEntryPath("rel"), fs::current_path() / "rel");
}

TEST(HiddenSibling, IsAFreshHiddenNameInTheSameFolder)
{
    const fs::path a = zanto::hiddenSibling("/x/y/Game.zantoplaylist/", ".playlist-");
    const fs::path b = zanto::hiddenSibling("/x/y/Game.zantoplaylist", ".playlist-");
    EXPECT_EQ(a.parent_path(), fs::path("/x/y"));
    EXPECT_EQ(a.filename().string().substr(0, 10), ".playlist-");
    EXPECT_EQ(a.filename().string().size(), 10u + 36u);
    EXPECT_NE(a, b);
}

TEST(CreateFolder, NeverCreatesParentsOrReusesAFolder)
{
    TempDir dir;
    writeText(dir / "file", "x");
    zanto::createFolder(dir / "new");
    EXPECT_TRUE(fs::is_directory(dir / "new"));
    EXPECT_EQ(systemErrorCode([&] { zanto::createFolder(dir / "new"); }), EEXIST);
    EXPECT_EQ(systemErrorCode([&] { zanto::createFolder(dir / "missing/new"); }), ENOENT);
    EXPECT_EQ(systemErrorCode([&] { zanto::createFolder(dir / "file/new"); }), ENOTDIR);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(CopyFile, CopiesBytesAndReportsTheOsError)
{
    TempDir dir;
    writeText(dir / "a", "contents");
    zanto::copyFile(dir / "a", dir / "b");
    EXPECT_EQ(readText(dir / "b"), "contents");
    EXPECT_EQ(systemErrorCode([&] { zanto::copyFile(dir.path(), dir / "c"); }), EISDIR);
    EXPECT_EQ(systemErrorCode([&] { zanto::copyFile(dir / "none", dir / "c"); }), ENOENT);
    EXPECT_EQ(systemErrorCode([&] { zanto::copyFile(dir / "a", dir / "b"); }), EEXIST);
    EXPECT_FALSE(fs::exists(dir / "c"));
}

// A copy cut short by the disk (here the file-size limit, which fails the
// write just as a full disk fails it) leaves no partial file.
TEST(CopyFile, FailureLeavesNoPartialCopy)
{
    TempDir dir;
    writeText(dir / "big", std::string(64 << 10, 'v'));
    struct rlimit saved { };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int error = systemErrorCode([&] { zanto::copyFile(dir / "big", dir / "copy"); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(error, EFBIG) << "the write's own error, as a full disk's ENOSPC";
    EXPECT_FALSE(fs::exists(dir / "copy"));
}

TEST(LinkOrCopyFile, SharesTheFileOnOneFileSystem)
{
    TempDir dir;
    writeText(dir / "a", "video");
    zanto::linkOrCopyFile(dir / "a", dir / "b");
    EXPECT_EQ(readText(dir / "b"), "video");
    EXPECT_EQ(fs::hard_link_count(dir / "a"), 2u);
    fs::remove(dir / "a");
    EXPECT_EQ(readText(dir / "b"), "video");
    EXPECT_EQ(systemErrorCode([&] { zanto::linkOrCopyFile(dir / "b", dir / "b"); }), EEXIST);
    EXPECT_EQ(systemErrorCode([&] { zanto::linkOrCopyFile(dir / "none", dir / "c"); }), ENOENT);
}

TEST(ReadFileBelow, LimitIsExclusive)
{
    TempDir dir;
    const std::pair<std::size_t, bool> cases[] = {{0, true}, {99, true}, {100, false}, {5000, false}};
    for (const auto& [size, read] : cases) {
        writeText(dir / "f", std::string(size, 'x'));
        const auto bytes = zanto::readFileBelow(dir / "f", 100);
        EXPECT_EQ(bytes.has_value(), read) << size;
        if (bytes) {
            EXPECT_EQ(bytes->size(), size);
        }
    }
}

TEST(ReadFileBelow, RefusesWhatIsNotARegularFile)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(systemErrorCode([&] { zanto::readFileBelow(dir.path(), 100); }), EISDIR);
    EXPECT_EQ(systemErrorCode([&] { zanto::readFileBelow(dir / "pipe", 100); }), EINVAL);
    EXPECT_EQ(systemErrorCode([&] { zanto::readFileBelow(dir / "none", 100); }), ENOENT);
}

// How the file system treats the one-step swap.
enum class Exchange { Refused, Swaps, Fails };

// Every step of a swap may fail; whatever fails, the destination holds the
// old or the new entry, or (only where the file system cannot swap in one
// step) the old one stands at its backup name when even moving it back failed.
struct SwapCase {
    const char* name;
    bool previous;           // an entry stands at the destination before the swap
    unsigned failingRenames; // bit n set: the rename numbered n (from 1) fails
    bool removalFails;
    bool throws;
    const char* destination; // what the destination holds afterwards, "" for nothing
    bool backupRemains;      // the old entry is left at a hidden name
    Exchange exchange = Exchange::Refused;
};

void PrintTo(const SwapCase& value, std::ostream* out)
{
    *out << value.name;
}

class MoveIntoPlaceTest : public ::testing::TestWithParam<SwapCase> { };

TEST_P(MoveIntoPlaceTest, DestinationIsNeverLost)
{
    const SwapCase& c = GetParam();
    TempDir dir;
    const fs::path staged = dir / ".staged";
    const fs::path destination = dir / "Game.pkg";
    fs::create_directory(staged);
    writeText(staged / "content", "new");
    if (c.previous) {
        fs::create_directory(destination);
        writeText(destination / "content", "old");
    }
    int renames = 0;
    zanto::EntryMoves moves = zanto::EntryMoves::system();
    moves.rename = [&](const fs::path& from, const fs::path& to) {
        if (c.failingRenames & (1u << ++renames)) throw std::system_error(EIO, std::generic_category(), from.string());
        fs::rename(from, to);
    };
    moves.exchange = [&](const fs::path& first, const fs::path& second) {
        if (c.exchange != Exchange::Swaps)
            throw std::system_error(c.exchange == Exchange::Fails ? EIO : EINVAL, std::generic_category(), "");
        zanto::EntryMoves::system().exchange(first, second);
    };
    if (c.removalFails)
        moves.removeAll = [](const fs::path& entry) {
            throw std::system_error(EBUSY, std::generic_category(), entry.string());
        };

    bool threw = false;
    try {
        zanto::moveIntoPlace(staged, destination, ".backup-", moves);
    } catch (const std::system_error& error) {
        threw = true;
        EXPECT_EQ(error.code().value(), EIO);
    }
    EXPECT_EQ(threw, c.throws);
    EXPECT_EQ(fs::exists(destination) ? readText(destination / "content") : "", c.destination);
    int oldLeft = 0;
    bool newLeft = false;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path() == destination) continue;
        const std::string content = readText(entry.path() / "content");
        oldLeft += content == "old";
        newLeft = newLeft || content == "new";
    }
    EXPECT_EQ(oldLeft, c.backupRemains ? 1 : 0);
    EXPECT_EQ(newLeft, c.throws) << "the staged entry stays only on failure";
    if (c.exchange == Exchange::Swaps) {
        EXPECT_EQ(renames, 0) << "a swap is one step";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MoveIntoPlaceTest,
    ::testing::Values(SwapCase{"NewPlace", false, 0, false, false, "new", false},
                      SwapCase{"NewPlaceFails", false, 0b10, false, true, "", false},
                      SwapCase{"Replace", true, 0, false, false, "new", false},
                      SwapCase{"MoveAsideFails", true, 0b10, false, true, "old", false},
                      SwapCase{"PutInPlaceFailsAndOldComesBack", true, 0b100, false, true, "old", false},
                      SwapCase{"MoveBackFailsToo", true, 0b1100, false, true, "", true},
                      SwapCase{"BackupRemovalFails", true, 0, true, false, "new", true},
                      SwapCase{"SwapInOneStep", true, 0, false, false, "new", false, Exchange::Swaps},
                      SwapCase{"SwapFails", true, 0, false, true, "old", false, Exchange::Fails},
                      SwapCase{"OldRemovalAfterSwapFails", true, 0, true, false, "new", true, Exchange::Swaps}),
    zanto::test::ByName());

TEST(MoveIntoPlace, ReplacesAFileAndADanglingLink)
{
    TempDir dir;
    writeText(dir / "staged", "new");
    writeText(dir / "dest", "old");
    zanto::moveIntoPlace(dir / "staged", dir / "dest", ".backup-");
    EXPECT_EQ(readText(dir / "dest"), "new");

    fs::create_directory(dir / "staged-folder");
    fs::create_symlink(dir / "nowhere", dir / "link");
    zanto::moveIntoPlace(dir / "staged-folder", dir / "link", ".backup-");
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir / "link")));
    EXPECT_EQ(zanto::test::entryCount(dir.path()), 2u);
}

// A writer's name: `prefix`, the identifier ending in `digit`, `suffix`.
std::string workName(const std::string& prefix, char digit, const std::string& suffix = {})
{
    return prefix + "00000000-0000-0000-0000-00000000000" + digit + suffix;
}

// What a killed save left is removed by a later one; what a running save
// holds locked, a link by that name, and names the writer never makes stay.
TEST(AbandonedSiblings, OnlyUnlockedOnesGo)
{
    TempDir dir;
    for (const std::string& name : {workName(".work-", '1'), workName(".work-", '2'), std::string(".work-notes"),
                                    workName(".work-", 'a'), std::string(".other")})
        fs::create_directories(dir / name / "media");
    fs::create_symlink(dir / ".other", dir / workName(".work-", '3'));
    const zanto::FileDescriptor held = zanto::lockFolder(dir / workName(".work-", '2'));
    EXPECT_EQ(systemErrorCode([&] { zanto::lockFolder(dir / workName(".work-", '2')); }), EWOULDBLOCK);
    zanto::removeAbandonedSiblings(dir / "Game.pkg", {".work-"});
    EXPECT_EQ(zanto::test::entryCount(dir.path()), 5u);
    EXPECT_FALSE(fs::exists(dir / workName(".work-", '1')));
}

// Temporary files are swept in folders that hold the user's own entries too:
// a folder of that name, or a file named only like the writer's, is none of
// a writer's.
TEST(AbandonedSiblings, FileSweepLeavesFoldersAndLookAlikesAlone)
{
    TempDir dir;
    fs::create_directories(dir / workName(".tmp-", '1', ".mp4"));
    for (const std::string& name : {workName(".tmp-", '2', ".mp4"), std::string(".tmp-x.mp4"), workName(".tmp-", '3')})
        writeText(dir / name, "x");
    zanto::removeAbandonedSiblings(dir / "movie.mp4", {".tmp-", ".mp4"}, zanto::SiblingKind::File);
    EXPECT_TRUE(fs::exists(dir / workName(".tmp-", '1', ".mp4")));
    EXPECT_FALSE(fs::exists(dir / workName(".tmp-", '2', ".mp4")));
    EXPECT_EQ(zanto::test::entryCount(dir.path()), 3u);
}

} // namespace

// Failures no test can cause on a real disk here (no space, no permission
// for root), read as a person sees them.
TEST(UserFileError, SaysWhatHappenedToTheChosenFile)
{
    const std::tuple<int, zanto::FileAction, std::string> cases[] = {
        {ENOSPC, zanto::FileAction::Save,
         "「Game.pkg」を保存できません。ディスクの空き容量が足りません。（No space left on device）"},
        {EACCES, zanto::FileAction::Open, "「Game.pkg」を開く権限がありません。（Permission denied）"},
        {EIO, zanto::FileAction::Save, "「Game.pkg」を保存できません。（Input/output error）"},
        {EIO, zanto::FileAction::Read, "「Game.pkg」を読み込めません。（Input/output error）"},
    };
    for (const auto& [error, action, expected] : cases)
        EXPECT_STREQ(
            zanto::UserFileError(std::error_code(error, std::generic_category()), "/x/Game.pkg/", action).what(),
            expected.c_str());
}
