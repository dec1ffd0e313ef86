#include "playlist/OrganizerDocument.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PlaylistFileFixtures.h"
#include "platform/FileSystem.h"
#include "support/PlaylistSamples.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

namespace zanto {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::outcomeOf;
using test::readBytes;
using test::systemOutcome;
using test::TempDir;
using test::writeBytes;

const std::string M2 = "プレイリストの区間または映像の参照が不正です。";
const std::string badPath = "failure:不正な素材パスです。";
const std::string unlinked = "failure:未接続の映像があります。リンクのみで保存するか、映像を再接続してください。";
const std::regex embeddedForm("media/[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}-(.*)");

// One real movie and one real image, made once for every test here.
class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        media_ = std::make_unique<TempDir>("zanto-package-media-");
        test::TestMovieOptions options;
        options.width = 64;
        options.height = 36;
        options.durationSeconds = 0.5;
        options.audio = false;
        test::makeTestMovie(*media_ / "angle-a.mp4", options);
        fs::copy_file(*media_ / "angle-a.mp4", *media_ / "angle-b.mp4");
        test::makeTestImage(*media_ / "slide.png", 32, 18);
    }
    static void TearDownTestSuite() { media_.reset(); }

    static fs::path mediaFile(const std::string& name) { return *media_ / name; }

    // The sample playlist with real files: S1 and S3 share angle-a, S2 is
    // angle-b, the image item shows slide.png.
    static OrganizerDocument document()
    {
        OrganizerDocument document = test::sampleDocument();
        document.sources[0].path = mediaFile("angle-a.mp4");
        document.sources[1].path = mediaFile("angle-b.mp4");
        OrganizerSource shared = test::sampleSource("S3");
        shared.path = document.sources[0].path;
        document.sources.push_back(shared);
        document.rows[1].items[0].imagePath = mediaFile("slide.png");
        return document;
    }

    static json storedJson(const fs::path& package) { return json::parse(readBytes(package / "playlist.json")); }

    static std::size_t mediaCount(const fs::path& package)
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(package / "media"), fs::directory_iterator()));
    }

    TempDir dir;

private:
    static inline std::unique_ptr<TempDir> media_;
};

std::string embeddedFileName(const std::string& stored)
{
    std::smatch match;
    return std::regex_match(stored, match, embeddedForm) ? match[1].str() : "not embedded: " + stored;
}

// Every path of `document` after reading `package`: the stored "media/"
// paths absolute inside it, everything else as it was before the save.
void expectReadBack(const OrganizerDocument& read, OrganizerDocument original, const fs::path& package)
{
    const std::string base = resolvedPath(package).native() + "/media/";
    for (std::size_t i = 0; i < read.sources.size(); ++i) {
        const std::string& path = read.sources[i].path;
        if (path.starts_with(base)) {
            EXPECT_EQ(readBytes(path), readBytes(original.sources[i].path));
            original.sources[i].path = path;
        }
    }
    for (std::size_t r = 0; r < read.rows.size(); ++r) {
        for (std::size_t i = 0; i < read.rows[r].items.size(); ++i) {
            const std::string& path = read.rows[r].items[i].imagePath;
            if (path.starts_with(base)) {
                EXPECT_EQ(readBytes(path), readBytes(original.rows[r].items[i].imagePath));
                original.rows[r].items[i].imagePath = path;
            }
        }
    }
    EXPECT_EQ(read, original);
}

TEST_F(PackageTest, EmbeddingCopiesEachFileOnceUnderANewName)
{
    const OrganizerDocument original = document();
    const OrganizerDocument before = original;
    original.write(dir / "Match.zantoplaylist", true);
    EXPECT_EQ(original, before);

    const fs::path package = dir / "Match.zantoplaylist";
    const std::string text = readBytes(package / "playlist.json");
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const json stored = json::parse(text);
    std::smatch match;
    const std::string first = stored["sources"][0]["path"];
    ASSERT_TRUE(std::regex_match(first, match, embeddedForm)) << first;
    EXPECT_EQ(match[1], "angle-a.mp4");
    EXPECT_EQ(stored["sources"][2]["path"], first);
    EXPECT_NE(stored["sources"][1]["path"], first);
    EXPECT_TRUE(std::regex_match(stored["rows"][1]["items"][0]["imagePath"].get<std::string>(), embeddedForm));
    EXPECT_EQ(mediaCount(package), 3u);
    EXPECT_TRUE(test::leftovers(dir.path()).empty());

    expectReadBack(OrganizerDocument::read(package), original, package);
}

TEST_F(PackageTest, LinkingKeepsSourcePathsAndStillEmbedsImages)
{
    OrganizerDocument original = document();
    original.sources.push_back(test::sampleSource("Unlinked"));
    original.sources.back().path = "";
    original.rows[0].items[2].imagePath = "/not/copied/for/a/title.png";
    original.write(dir / "Linked.zantoplaylist", false);

    const json stored = storedJson(dir / "Linked.zantoplaylist");
    EXPECT_EQ(stored["sources"][0]["path"], original.sources[0].path);
    EXPECT_EQ(stored["sources"][3]["path"], "");
    EXPECT_EQ(stored["rows"][0]["items"][2]["imagePath"], "/not/copied/for/a/title.png");
    EXPECT_TRUE(std::regex_match(stored["rows"][1]["items"][0]["imagePath"].get<std::string>(), embeddedForm));
    EXPECT_EQ(mediaCount(dir / "Linked.zantoplaylist"), 1u);
    expectReadBack(OrganizerDocument::read(dir / "Linked.zantoplaylist"), original, dir / "Linked.zantoplaylist");
}

// A file embedded from another package keeps its whole name, identifier
// included, after the new identifier; apart from names the bytes are equal.
TEST_F(PackageTest, WriteReadWriteGivesTheSameDocumentBytes)
{
    static const std::regex identifiers("media/(?:[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}-)+");
    for (const bool embed : {false, true}) {
        SCOPED_TRACE(embed);
        TempDir out;
        document().write(out / "a.zantoplaylist", embed);
        const OrganizerDocument read = OrganizerDocument::read(out / "a.zantoplaylist");
        read.write(out / "b.zantoplaylist", embed);
        const std::string first = readBytes(out / "a.zantoplaylist/playlist.json");
        const std::string second = readBytes(out / "b.zantoplaylist/playlist.json");
        const json stored = json::parse(second);
        EXPECT_TRUE(
            std::regex_match("media/" + embeddedFileName(stored["rows"][1]["items"][0]["imagePath"]), embeddedForm));
        if (embed) {
            EXPECT_TRUE(std::regex_match("media/" + embeddedFileName(stored["sources"][0]["path"]), embeddedForm));
        }
        EXPECT_EQ(std::regex_replace(first, identifiers, "media/*-"),
                  std::regex_replace(second, identifiers, "media/*-"));
    }
}

// Saving over the package a document came from must neither delete the
// videos it points at nor copy them again under new names.
TEST_F(PackageTest, SavingOverItsOwnPackageKeepsEveryFile)
{
    const fs::path package = dir / "Own.zantoplaylist";
    document().write(package, true);
    const std::string firstBytes = readBytes(package / "playlist.json");
    const OrganizerDocument opened = OrganizerDocument::read(package);

    for (const bool embed : {false, true, false}) {
        SCOPED_TRACE(embed);
        opened.write(package, embed);
        EXPECT_EQ(readBytes(package / "playlist.json"), firstBytes);
        EXPECT_EQ(mediaCount(package), 3u);
        for (const OrganizerSource& source : opened.sources)
            EXPECT_EQ(readBytes(source.path), readBytes(mediaFile(source.id == "S2" ? "angle-b.mp4" : "angle-a.mp4")));
        EXPECT_EQ(OrganizerDocument::read(package), opened);
        EXPECT_TRUE(test::leftovers(dir.path()).empty());
    }
}

// Linked files around the package being replaced, saved without embedding:
// whatever the swap deletes with the previous package moves into the new one
// first; everything else stays linked where it is.
struct LinkedNearby {
    const char* name;
    // Makes the file (or leaves it missing) and returns the path to link.
    std::function<std::string(const fs::path& dir, const fs::path& previous)> make;
    std::string stored;   // "linked", "embedded" or the exact stored path
    bool survives = true; // the file is still there to read after the save
};

void PrintTo(const LinkedNearby& value, std::ostream* out)
{
    *out << value.name;
}

class PackageLinkedNearby : public PackageTest, public ::testing::WithParamInterface<LinkedNearby> { };

TEST_P(PackageLinkedNearby, SurvivesTheSwap)
{
    const fs::path previous = dir / "Old.zantoplaylist";
    fs::create_directories(previous);
    writeBytes(previous / "playlist.json", "{}");
    const std::string linked = GetParam().make(dir.path(), previous);

    OrganizerDocument original = document();
    original.sources[0].path = linked;
    original.write(previous, false);

    const std::string stored = storedJson(previous)["sources"][0]["path"];
    if (GetParam().stored == "linked") {
        EXPECT_EQ(stored, linked);
    } else if (GetParam().stored == "embedded") {
        EXPECT_EQ(embeddedFileName(stored), fs::path(linked).filename().string());
    } else {
        EXPECT_EQ(stored, GetParam().stored);
    }
    const OrganizerDocument read = OrganizerDocument::read(previous);
    if (GetParam().survives) {
        EXPECT_EQ(readBytes(read.sources[0].path), "clip bytes");
    } else {
        EXPECT_EQ(read.sources[0].path, linked);
    }
    EXPECT_EQ(read.sources[1].path, original.sources[1].path);
    EXPECT_TRUE(test::leftovers(dir.path()).empty());
}

fs::path clipAt(const fs::path& path)
{
    fs::create_directories(path.parent_path());
    writeBytes(path, "clip bytes");
    return path;
}

std::string withNul(const fs::path& path)
{
    return path.string() + std::string("\0.mp4", 5);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PackageLinkedNearby,
    ::testing::Values(
        LinkedNearby{"OutsideStaysLinked", [](const fs::path& d, const fs::path&) { return clipAt(d / "clip.mp4"); },
                     "linked"},
        LinkedNearby{"OwnMediaMovesOnUnderItsName",
                     [](const fs::path&, const fs::path& p) { return clipAt(p / "media/clip.mp4"); }, "media/clip.mp4"},
        LinkedNearby{"OwnMediaSubfolder",
                     [](const fs::path&, const fs::path& p) { return clipAt(p / "media/sub/clip.mp4"); },
                     "media/sub/clip.mp4"},
        LinkedNearby{"LinkIntoOwnMedia",
                     [](const fs::path& d, const fs::path& p) {
                         fs::create_symlink(clipAt(p / "media/clip.mp4"), d / "alias.mp4");
                         return d / "alias.mp4";
                     },
                     "media/clip.mp4"},
        LinkedNearby{"ElsewhereInsideThePackageIsEmbedded",
                     [](const fs::path&, const fs::path& p) { return clipAt(p / "clip.mp4"); }, "embedded"},
        LinkedNearby{"MissingInsideThePackageStaysLinked",
                     [](const fs::path&, const fs::path& p) { return (p / "gone.mp4").string(); }, "linked", false},
        // A NUL ends the path early at the system call; such a path names no
        // file at all, not the file named by its first part.
        LinkedNearby{"PathWithNulNamesNoFile",
                     [](const fs::path&, const fs::path& p) {
                         return clipAt(p / "media/clip.mp4").string() + std::string("\0x", 2);
                     },
                     "linked", false},
        LinkedNearby{"MediaLinkedOutsideCarriesNothing",
                     [](const fs::path& d, const fs::path& p) {
                         const fs::path clip = clipAt(d / "shared/clip.mp4");
                         fs::create_symlink(d / "shared", p / "media");
                         return clip;
                     },
                     "linked"}),
    [](const auto& info) { return std::string(info.param.name); });

// A save killed while copying (here by the file size limit) leaves its work
// folder; the next save to the same place removes it, one elsewhere does not.
TEST_F(PackageTest, ASaveRemovesWhatAKilledSaveToTheSamePlaceLeft)
{
    const fs::path target = dir / "Game.zantoplaylist";
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit tiny{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &tiny);
        document().write(target, true);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    ASSERT_EQ(test::leftovers(dir.path()).size(), 1u);
    document().write(dir / "Other.zantoplaylist", true);
    EXPECT_EQ(test::leftovers(dir.path()).size(), 1u);
    document().write(target, true);
    EXPECT_TRUE(test::leftovers(dir.path()).empty());
}

TEST_F(PackageTest, ResolveKeepsEveryStoredPathInsideTheMediaFolder)
{
    const fs::path package = dir / "P.zantoplaylist";
    fs::create_directories(package / "media/sub");
    writeBytes(package / "media/a.mp4", "a");
    writeBytes(dir / "secret", "s");
    fs::create_symlink(dir / "secret", package / "media/out");
    fs::create_symlink("a.mp4", package / "media/in");
    fs::create_symlink("..", package / "media/up");
    fs::create_symlink("loop", package / "media/loop");
    fs::create_symlink(package, dir / "alias.zantoplaylist");
    const std::string media = resolvedPath(package).native() + "/media/";

    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"/abs/video.mp4", "/abs/video.mp4"},
        {"relative/video.mp4", badPath},
        {"Media/a.mp4", badPath},
        {"../x", badPath},
        {"./media/../../x", badPath},
        {"media/a.mp4", media + "a.mp4"},
        {"media/not-there.mov", media + "not-there.mov"},
        {"media/sub/../a.mp4", media + "a.mp4"},
        {"media/in", media + "a.mp4"},
        {"media/", badPath},
        {"media/.", badPath},
        {"media/../playlist.json", badPath},
        {"media/../media-other/a.mp4", badPath},
        {"media/../../secret", badPath},
        {"media/sub/../../x", badPath},
        {"media/out", badPath},
        {"media/up/playlist.json", badPath},
        {"media/nothing/../out", badPath},
        {"media/loop", badPath},
        {std::string("media/a\0/../../../secret", 25), badPath},
    };
    for (const fs::path& location : {package, dir / "alias.zantoplaylist"}) {
        for (const auto& [stored, expected] : cases) {
            std::string result;
            const std::string outcome = outcomeOf([&] { result = OrganizerDocument::resolve(location, stored); });
            EXPECT_EQ(outcome == "ok" ? result : outcome, expected) << location << " " << stored;
        }
    }
}

// Stored image paths are resolved whatever the item's kind.
TEST_F(PackageTest, ReadResolvesImagePathsOfEveryItemKind)
{
    const std::pair<std::string, std::string> cases[] = {
        {"media/still.png", "media/still.png"},
        {"media/../../secret", badPath},
    };
    for (const std::size_t item : {0u, 1u, 2u}) {
        for (const auto& [stored, expected] : cases) {
            OrganizerDocument document = test::sampleDocument();
            document.rows[0].items[item].imagePath = stored;
            const fs::path package = dir / ("E" + std::to_string(item));
            fs::create_directories(package / "media");
            writeBytes(package / "playlist.json", document.toJson());
            OrganizerDocument read;
            const std::string outcome = outcomeOf([&] { read = OrganizerDocument::read(package); });
            const std::string base = resolvedPath(package).native() + "/";
            EXPECT_EQ(outcome == "ok" ? read.rows[0].items[item].imagePath : outcome,
                      expected == badPath ? expected : base + expected)
                << document.rows[0].items[item].kind << " " << stored;
        }
    }
}

TEST_F(PackageTest, DocumentSizeLimitIsTwentyFiveMillionBytes)
{
    const std::string text = test::sampleDocument().toJson();
    const std::pair<std::size_t, std::string> cases[] = {
        {24'999'999, "ok"},
        {25'000'000, "failure:プレイリストが大きすぎます。"},
    };
    for (const auto& [size, expected] : cases) {
        fs::create_directories(dir / "Big");
        writeBytes(dir / "Big/playlist.json", text + std::string(size - text.size(), ' '));
        ASSERT_EQ(fs::file_size(dir / "Big/playlist.json"), size);
        EXPECT_EQ(outcomeOf([&] { OrganizerDocument::read(dir / "Big"); }), expected) << size;
    }
}

struct BadInput {
    const char* name;
    std::function<void(const fs::path& package)> make;
    std::string expected;
};

void PrintTo(const BadInput& value, std::ostream* out)
{
    *out << value.name;
}

class PackageBadInput : public ::testing::TestWithParam<BadInput> { };

TEST_P(PackageBadInput, IsRefusedWithItsOwnError)
{
    TempDir dir;
    const fs::path package = dir / "Bad.zantoplaylist";
    fs::create_directories(package / "media");
    GetParam().make(package);
    EXPECT_EQ(outcomeOf([&] { OrganizerDocument::read(package); }), GetParam().expected);
}

std::string sampleJson()
{
    return test::sampleDocument().toJson();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageBadInput,
    ::testing::Values(BadInput{"NoDocument", [](const fs::path&) {}, systemOutcome(ENOENT)},
                      BadInput{"DocumentIsAFolder",
                               [](const fs::path& p) { fs::create_directory(p / "playlist.json"); },
                               systemOutcome(EISDIR)},
                      BadInput{"PackageIsAFile",
                               [](const fs::path& p) {
                                   fs::remove_all(p);
                                   writeBytes(p, sampleJson());
                               },
                               systemOutcome(ENOTDIR)},
                      BadInput{"Empty", [](const fs::path& p) { writeBytes(p / "playlist.json", ""); }, "decoding"},
                      BadInput{"Truncated",
                               [](const fs::path& p) {
                                   const std::string text = sampleJson();
                                   writeBytes(p / "playlist.json", text.substr(0, text.size() / 2));
                               },
                               "decoding"},
                      BadInput{"NotUtf8",
                               [](const fs::path& p) {
                                   std::string text = sampleJson();
                                   text.replace(text.find("Match"), 1, "\xff\xfe");
                                   writeBytes(p / "playlist.json", text);
                               },
                               "decoding"},
                      BadInput{"DeeplyNested",
                               [](const fs::path& p) {
                                   std::string text = sampleJson();
                                   text.insert(text.size() - 1,
                                               ",\"x\":" + std::string(100000, '[') + std::string(100000, ']'));
                                   writeBytes(p / "playlist.json", text);
                               },
                               "decoding"},
                      BadInput{"MissingKey",
                               [](const fs::path& p) {
                                   json stored = json::parse(sampleJson());
                                   stored["rows"][0]["items"][0].erase("enabled");
                                   writeBytes(p / "playlist.json", stored.dump());
                               },
                               "decoding"},
                      BadInput{"NewerVersion",
                               [](const fs::path& p) {
                                   json stored = json::parse(sampleJson());
                                   stored["version"] = 2;
                                   writeBytes(p / "playlist.json", stored.dump());
                               },
                               "failure:未対応のプレイリストです。"},
                      BadInput{"HugeRowArray",
                               [](const fs::path& p) {
                                   json stored = json::parse(sampleJson());
                                   stored["rows"] = json::array();
                                   for (int i = 0; i < 20000; ++i)
                                       stored["rows"].push_back({{"id", "R"}, {"name", "r"}, {"items", json::array()}});
                                   writeBytes(p / "playlist.json", stored.dump());
                               },
                               "failure:未対応のプレイリストです。"},
                      BadInput{"BrokenReference",
                               [](const fs::path& p) {
                                   json stored = json::parse(sampleJson());
                                   stored["rows"][0]["items"][0]["sourceID"] = "nobody";
                                   writeBytes(p / "playlist.json", stored.dump());
                               },
                               "failure:" + M2}),
    [](const auto& info) { return std::string(info.param.name); });

// Each step of a save made to fail in turn, over an existing package: the
// previous package survives unchanged and no hidden folder stays behind.
struct WriteFailure {
    const char* name;
    std::function<fs::path(const TempDir& dir, OrganizerDocument& document, bool& embed)> prepare;
    std::function<std::string(const TempDir& dir)> expected;
};

void PrintTo(const WriteFailure& value, std::ostream* out)
{
    *out << value.name;
}

class PackageWriteFailure : public PackageTest, public ::testing::WithParamInterface<WriteFailure> { };

TEST_P(PackageWriteFailure, LeavesThePreviousPackageAndNoLeftovers)
{
    const fs::path previous = dir / "Game.zantoplaylist";
    OrganizerDocument document = PackageTest::document();
    document.write(previous, true);
    const std::string previousBytes = readBytes(previous / "playlist.json");
    const OrganizerDocument previousDocument = OrganizerDocument::read(previous);

    bool embed = true;
    const fs::path destination = GetParam().prepare(dir, document, embed);
    EXPECT_EQ(outcomeOf([&] { document.write(destination, embed); }), GetParam().expected(dir));
    EXPECT_EQ(readBytes(previous / "playlist.json"), previousBytes);
    EXPECT_EQ(OrganizerDocument::read(previous), previousDocument);
    EXPECT_TRUE(test::leftovers(dir.path()).empty());
    if (destination != previous) {
        std::error_code ignored;
        EXPECT_FALSE(fs::exists(fs::symlink_status(destination, ignored)));
    }
    if (fs::is_directory(destination.parent_path())) {
        EXPECT_TRUE(test::leftovers(destination.parent_path()).empty());
    }
}

fs::path over(const TempDir& dir)
{
    return dir / "Game.zantoplaylist";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PackageWriteFailure,
    ::testing::Values(
        WriteFailure{"InvalidDocument",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         doc.rows[0].items[0].end = -1;
                         return over(d);
                     },
                     [](const TempDir&) { return "failure:" + M2; }},
        WriteFailure{"MissingParentFolder",
                     [](const TempDir& d, OrganizerDocument&, bool&) { return d / "missing/Game.zantoplaylist"; },
                     [](const TempDir&) { return systemOutcome(ENOENT); }},
        WriteFailure{"ParentIsAFile",
                     [](const TempDir& d, OrganizerDocument&, bool&) {
                         writeBytes(d / "file", "x");
                         return d / "file/Game.zantoplaylist";
                     },
                     [](const TempDir&) { return systemOutcome(ENOTDIR); }},
        WriteFailure{"UnlinkedSourceWhileEmbedding",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         doc.sources[1].path = "";
                         return over(d);
                     },
                     [](const TempDir&) { return unlinked; }},
        WriteFailure{"UnlinkedSourceToANewPackage",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         doc.sources[0].path = "";
                         return d / "New.zantoplaylist";
                     },
                     [](const TempDir&) { return unlinked; }},
        WriteFailure{"MissingVideoToANewPackage",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         doc.sources[2].path = (d / "gone.mp4").string();
                         return d / "New.zantoplaylist";
                     },
                     [](const TempDir& d) { return "failure:素材が見つかりません：" + (d / "gone.mp4").string(); }},
        WriteFailure{"UnlinkedImageWhileLinking",
                     [](const TempDir& d, OrganizerDocument& doc, bool& embed) {
                         embed = false;
                         doc.rows[1].items[0].imagePath = "";
                         return over(d);
                     },
                     [](const TempDir&) { return unlinked; }},
        WriteFailure{"MissingVideo",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         doc.sources[1].path = (d / "gone.mp4").string();
                         return over(d);
                     },
                     [](const TempDir& d) { return "failure:素材が見つかりません：" + (d / "gone.mp4").string(); }},
        WriteFailure{"VideoPathWithNul",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         writeBytes(d / "real.mp4", "x");
                         doc.sources[1].path = withNul(d / "real.mp4");
                         return over(d);
                     },
                     [](const TempDir& d) { return "failure:素材が見つかりません：" + withNul(d / "real.mp4"); }},
        WriteFailure{"MissingImage",
                     [](const TempDir& d, OrganizerDocument& doc, bool& embed) {
                         embed = false;
                         doc.rows[1].items[0].imagePath = (d / "gone.png").string();
                         return over(d);
                     },
                     [](const TempDir& d) { return "failure:素材が見つかりません：" + (d / "gone.png").string(); }},
        WriteFailure{"ImageIsAFolder",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         fs::create_directory(d / "folder.png");
                         doc.rows[1].items[0].imagePath = (d / "folder.png").string();
                         return over(d);
                     },
                     [](const TempDir&) { return systemOutcome(EISDIR); }},
        WriteFailure{"NumberWithoutJsonForm",
                     [](const TempDir& d, OrganizerDocument& doc, bool&) {
                         doc.rows[0].items[0].freezeTime = NAN; // not checked outside freeze items
                         return over(d);
                     },
                     [](const TempDir&) { return std::string("encoding"); }},
        WriteFailure{"NameTooLongToPutInPlace",
                     [](const TempDir& d, OrganizerDocument&, bool&) { return d / std::string(300, 'n'); },
                     [](const TempDir&) { return systemOutcome(ENAMETOOLONG); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageTest, ReadOnlyParentFolderFailsCleanly)
{
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop the super-user";
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(outcomeOf([&] { document().write(dir / "locked/Game.zantoplaylist", true); }), systemOutcome(EACCES));
    EXPECT_TRUE(fs::is_empty(dir / "locked"));
}

TEST_F(PackageTest, ReplacesAFileOrAnOldPackageAtTheDestination)
{
    writeBytes(dir / "File.zantoplaylist", "not a package");
    document().write(dir / "File.zantoplaylist", false);
    EXPECT_NO_THROW(OrganizerDocument::read(dir / "File.zantoplaylist"));

    document().write(dir / "Twice.zantoplaylist/", true);
    writeBytes(dir / "Twice.zantoplaylist/media/stray", "left by hand");
    OrganizerDocument second = document();
    second.title = "second";
    second.write(dir / "Twice.zantoplaylist", true);
    EXPECT_EQ(OrganizerDocument::read(dir / "Twice.zantoplaylist").title, "second");
    EXPECT_FALSE(fs::exists(dir / "Twice.zantoplaylist/media/stray"));
    EXPECT_EQ(mediaCount(dir / "Twice.zantoplaylist"), 3u);
    EXPECT_TRUE(test::leftovers(dir.path()).empty());
}

TEST_F(PackageTest, LongFileNamesStillFitOneNameWhenEmbedded)
{
    std::string name;
    while (name.size() < 240) name += "試合";
    name += ".mp4";
    fs::copy_file(mediaFile("angle-a.mp4"), dir / name);
    OrganizerDocument original = document();
    original.sources[0].path = dir / name;
    original.write(dir / "Long.zantoplaylist", true);

    const std::string stored = storedJson(dir / "Long.zantoplaylist")["sources"][0]["path"];
    const std::string file = stored.substr(6);
    EXPECT_LE(file.size(), 255u);
    EXPECT_TRUE(file.ends_with(".mp4")) << file;
    EXPECT_NO_THROW(static_cast<void>(json(file).dump())); // whole UTF-8 characters only
    expectReadBack(OrganizerDocument::read(dir / "Long.zantoplaylist"), original, dir / "Long.zantoplaylist");
}

// Damaged documents either read as a valid document whose media paths stay
// inside the package, or fail with one of the reader's own errors.
TEST_F(PackageTest, FuzzedDocumentsNeverEscapeOrCrash)
{
    OrganizerDocument sample = test::sampleDocument();
    sample.sources[0].path = "media/a.mp4";
    sample.rows[1].items[0].imagePath = "media/slide.png";
    const std::string text = sample.toJson();
    const fs::path package = dir / "Fuzz.zantoplaylist";
    fs::create_directories(package / "media");
    const std::string base = resolvedPath(package).native() + "/media/";
    std::mt19937 random(20261207);
    int read = 0;
    for (int round = 0; round < 400; ++round) {
        std::string damaged = test::mutated(text, random);
        if (round % 3 == 0) damaged = test::mutated(damaged, random);
        writeBytes(package / "playlist.json", damaged);
        OrganizerDocument result;
        const std::string outcome = outcomeOf([&] { result = OrganizerDocument::read(package); });
        ASSERT_TRUE(outcome == "ok" || outcome == "decoding" || outcome.starts_with("failure:")) << outcome;
        if (outcome != "ok") continue;
        ++read;
        EXPECT_NO_THROW(result.validate());
        for (const OrganizerSource& source : result.sources)
            EXPECT_TRUE(!source.path.starts_with("/") || !source.path.starts_with(package.native())
                        || source.path.starts_with(base))
                << source.path;
    }
    EXPECT_GT(read, 0);
}

} // namespace
} // namespace zanto

namespace zanto {
namespace {

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "ok";
}

// What a person reads when a playlist cannot be opened or saved: the place
// they chose, in Japanese, then the technical detail; never a work folder.
TEST_F(PackageTest, FailuresNameThePlaylistThePersonChose)
{
    fs::create_directories(dir / "Empty.zantoplaylist");
    json stored = json::parse(test::sampleDocument().toJson());
    stored.erase("title");
    fs::create_directories(dir / "Keyless.zantoplaylist/media");
    writeBytes(dir / "Keyless.zantoplaylist/playlist.json", stored.dump());
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { OrganizerDocument::read(dir / "Missing.zantoplaylist"); },
         "「Missing.zantoplaylist」が見つかりません。（No such file or directory）"},
        {[&] { OrganizerDocument::read(dir / "Empty.zantoplaylist"); },
         "「Empty.zantoplaylist」は有効なプレイリストファイルではありません。（No such file or directory）"},
        {[&] { OrganizerDocument::read(dir / "Keyless.zantoplaylist"); },
         "「Keyless.zantoplaylist」は有効なプレイリストファイルではありません。（Cannot read JSON: no value for key "
         "\"title\" at the top level）"},
        {[&] { document().write(dir / "nowhere/Game.zantoplaylist", true); },
         "「Game.zantoplaylist」を保存できません。保存先のフォルダが見つかりません。（No such file or directory）"},
    };
    for (const auto& [action, expected] : cases) EXPECT_EQ(messageOf(action), expected);

    // A copy cut short by the file size limit, as by a full disk: the system
    // names the file in the work folder and the person learns the cause.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1024, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string full = messageOf([&] { document().write(dir / "Game.zantoplaylist", true); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(full, "「Game.zantoplaylist」を保存できません。ファイルが大きすぎます。（File too large）");
}

} // namespace
} // namespace zanto
