// Where the exported movie goes: real failures of the disk and of a source
// told about the file the person chose or the movie at fault, what stood at
// the destination kept, and hidden files of killed exports swept.
#include "OrganizerExporterTestSupport.h"

#include "support/FileText.h"
#include "support/StoppedWriter.h"

#include <sys/mount.h>

#include <optional>

namespace zanto::test {
namespace {

using Path = std::filesystem::path;

// The hidden movies of exports in `folder`.
std::vector<std::string> hiddenMovies(const Path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".zanto-"))
            names.push_back(entry.path().filename().string());
    }
    return names;
}

// A file system of a few kilobytes at `folder`, unmounted when the object goes.
class SmallDisk {
public:
    explicit SmallDisk(const Path& folder) : folder_(folder)
    {
        std::filesystem::create_directories(folder);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=96k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    Path folder_;
    bool mounted_ = false;
};

class OrganizerExporterDestinationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGuiApplication();
        media = new TempDir("zanto-destination-media-");
        TestMovieOptions options;
        options.durationSeconds = 4;
        const Path whole = makeTestMovie(*media / "whole.mp4", options);
        // The index first, then the pictures cut off: the movie opens and ends early.
        runTool("ffmpeg", {"-v", "error", "-i", whole.string(), "-c", "copy", "-movflags", "+faststart",
                           (*media / "cut.mp4").string()});
        std::filesystem::resize_file(*media / "cut.mp4", std::filesystem::file_size(*media / "cut.mp4") * 4 / 10);
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }

    static std::pair<OrganizerDocument, std::vector<OrganizerItem>> clipOf(const std::string& movie, double end)
    {
        const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, end)};
        return {documentWith({sourceAt("S1", *media / movie)}, items), items};
    }

    static TempDir* media;
    TempDir out{"zanto-destination-out-"};
    ScopedTemporaryFolder temporary;
};
TempDir* OrganizerExporterDestinationTest::media = nullptr;

struct DestinationCase {
    const char* label;
    const char* movie;
    // Makes what stands in the way and returns the destination.
    std::function<Path(const Path& folder)> place;
    bool earlierFile;     // a file of the person's stands at the destination first
    bool smallDisk;       // the destination's folder is a disk of a few kilobytes
    std::string message;  // how the message starts
};

const DestinationCase destinationCases[] = {
    {"PathThroughAFile", "whole.mp4",
     [](const Path& folder) {
         writeText(folder / "notes", "x");
         return folder / "notes" / "out.mp4";
     },
     false, false, "「out.mp4」を保存できません。保存先のフォルダが見つかりません。（Not a directory）"},
    {"FolderAtTheDestination", "whole.mp4",
     [](const Path& folder) {
         std::filesystem::create_directories(folder / "out.mp4");
         return folder / "out.mp4";
     },
     false, false, "「out.mp4」を保存できません。同じ名前のフォルダがあります。（Is a directory）"},
    {"SourceCutShort", "cut.mp4", [](const Path& folder) { return folder / "out.mp4"; }, true, false,
     "「cut.mp4」を読み込めません。（"},
    {"DiskFull", "whole.mp4", [](const Path& folder) { return folder / "small" / "out.mp4"; }, true, true,
     "「out.mp4」を保存できません。ディスクの空き容量が足りません。（No space left on device）"},
};

class OrganizerExporterDestinationFailure : public OrganizerExporterDestinationTest,
                                            public ::testing::WithParamInterface<DestinationCase> {};

TEST_P(OrganizerExporterDestinationFailure, NamesTheFileAtFaultAndKeepsWhatStoodThere)
{
    const DestinationCase& c = GetParam();
    std::optional<SmallDisk> disk;
    if (c.smallDisk && !disk.emplace(out / "small").mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here to fill";
    const Path url = c.place(out.path());
    if (c.earlierFile)
        writeText(url, "earlier");
    const bool folder = std::filesystem::is_directory(url);
    const auto [document, items] = clipOf(c.movie, 3.5);
    OrganizerExporter exporter;
    const std::string message = renderMessage(exporter, document, items, url);
    EXPECT_TRUE(message.starts_with(c.message)) << message;
    EXPECT_EQ(message.find(".zanto-"), std::string::npos) << message;
    if (c.earlierFile) {
        EXPECT_EQ(readText(url), "earlier");
    }
    EXPECT_EQ(std::filesystem::is_directory(url), folder);
    EXPECT_TRUE(!std::filesystem::is_directory(url.parent_path()) || hiddenMovies(url.parent_path()).empty());
    EXPECT_TRUE(temporary.leftovers().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterDestinationFailure, ::testing::ValuesIn(destinationCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(OrganizerExporterDestinationTest, NextExportRemovesWhatAKilledExportLeftOnly)
{
    const auto [document, items] = clipOf("whole.mp4", 1);
    StoppedWriter killed([&] { OrganizerExporter().render(document, items, out / "killed.mp4", {}); }, 16 << 10);
    ASSERT_TRUE(killed.stopped());
    const std::vector<std::string> left = hiddenMovies(out.path());
    ASSERT_EQ(left.size(), 1u);

    OrganizerExporter live;
    ASSERT_EQ(renderMessage(live, document, items, out / "next.mp4"), "");
    EXPECT_EQ(hiddenMovies(out.path()), left) << "a running export's file was taken";
    killed.kill();
    OrganizerExporter after;
    ASSERT_EQ(renderMessage(after, document, items, out / "next.mp4"), "");
    EXPECT_TRUE(hiddenMovies(out.path()).empty());
    EXPECT_FALSE(std::filesystem::exists(out / "killed.mp4"));
}

} // namespace
} // namespace zanto::test
