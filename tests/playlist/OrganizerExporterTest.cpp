// The playlist exporter's checks, failures, cancellation and clean-up, and
// where the movie goes: what stood at the destination kept, failures told
// about the file at fault, hidden files of killed exports swept.
#include "OrganizerExporterTestSupport.h"

#include "support/FileText.h"
#include "support/RecordedMovies.h"
#include "support/StoppedWriter.h"
#include "support/TableNames.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <chrono>
#include <random>
#include <thread>

#include <sys/mount.h>
#include <sys/stat.h>

namespace zanto::test {
namespace {

using Path = std::filesystem::path;

const std::string cancelled = "書き出しを中止しました。";
const std::string countMessage = "1〜1000件を選んでください。";

// The hidden movies of exports in `folder`.
std::vector<std::string> hiddenMovies(const Path& folder)
{
    return namesStartingWith(folder, ".zanto-");
}

// A file system of a few kilobytes at `folder`, unmounted when the object goes.
class SmallDisk {
public:
    explicit SmallDisk(const Path& folder, unsigned long flags = 0) : folder_(folder)
    {
        std::filesystem::create_directories(folder);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", flags, "size=64k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    Path folder_;
    bool mounted_ = false;
};

class OrganizerExporterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGuiApplication();
        media = new TempDir("zanto-exporter-media-");
        TestMovieOptions options;
        options.durationSeconds = 2.0;
        makeTestMovie(*media / "two.mp4", options);
        // The index first, then the pictures cut off: the movie opens and ends early.
        runTool("ffmpeg",
                {"-v", "error", "-i", two().string(), "-c", "copy", "-movflags", "+faststart", cut().string()});
        std::filesystem::resize_file(cut(), std::filesystem::file_size(cut()) * 4 / 10);
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }
    static std::filesystem::path two() { return *media / "two.mp4"; }
    static std::filesystem::path cut() { return *media / "cut.mp4"; }

    static TempDir* media;
    TempDir out{"zanto-exporter-out-"};
    ScopedTemporaryFolder temporary;
};
TempDir* OrganizerExporterTest::media = nullptr;

using Setup = std::pair<OrganizerDocument, std::vector<OrganizerItem>>;

struct FailureCase {
    const char* label;
    // Builds the document and items of the case from the two-second movie.
    std::function<Setup(const Path&)> make;
    std::string message;
};

// A pipe nobody writes to: reading it would wait for ever.
Path namedPipe(const Path& path)
{
    if (!std::filesystem::exists(path)) ::mkfifo(path.c_str(), 0600);
    return path;
}

// A still handed over on its own, beside a document without items.
Setup alone(const OrganizerItem& item)
{
    return {OrganizerDocument{}, {item}};
}

// An image item of its own document, showing the file at `path`.
Setup imageAt(const std::string& name, const Path& path)
{
    OrganizerItem item = stillItem(name, "image", 1);
    item.imagePath = path.string();
    return {documentWith({}, {item}), {item}};
}

Setup one(OrganizerSource source, OrganizerItem item)
{
    return {documentWith({std::move(source)}, {item}), {item}};
}

const FailureCase failureCases[] = {
    {"InvalidDocumentBeforeCount",
     [](const Path&) {
         OrganizerDocument document;
         document.format = "other";
         return Setup{document, std::vector<OrganizerItem>{}};
     },
     "未対応のプレイリストです。"},
    {"NoItems",
     [](const Path&) {
         return Setup{OrganizerDocument{}, std::vector<OrganizerItem>{}};
     },
     countMessage},
    {"TooManyItems",
     [](const Path&) {
         return Setup{OrganizerDocument{}, std::vector<OrganizerItem>(1001, stillItem("t", "title", 1))};
     },
     countMessage},
    {"SourceNotInDocument",
     [](const Path& movie) {
         // The items handed over need not be the document's own.
         OrganizerDocument document = documentWith({sourceAt("S1", movie)}, {});
         return Setup{document, std::vector<OrganizerItem>{videoItem("試合A", "S9", 0, 1)}};
     },
     "映像を再接続してください：試合A"},
    {"EmptySourcePath", [](const Path&) { return one(sourceAt("S1", ""), videoItem("未接続", "S1", 0, 1)); },
     "映像を再接続してください：未接続"},
    {"MissingSourceFile",
     [](const Path& movie) {
         return one(sourceAt("S1", movie.parent_path() / "gone.mp4"), videoItem("消えた", "S1", 0, 1));
     },
     "映像を再接続してください：消えた"},
    {"SourceIsAPipe",
     [](const Path& movie) {
         return one(sourceAt("S1", namedPipe(movie.parent_path() / "movie.fifo")), videoItem("パイプ", "S1", 0, 1));
     },
     "映像を再接続してください：パイプ"},
    {"SourceIsAFolder",
     [](const Path& movie) { return one(sourceAt("S1", movie.parent_path()), videoItem("フォルダ", "S1", 0, 1)); },
     "映像を再接続してください：フォルダ"},
    {"EndsPastSourceEnd",
     [](const Path& movie) { return one(sourceAt("S1", movie), videoItem("長い", "S1", 1, 3.05)); },
     "映像の範囲外です：長い。時刻とアングル補正を確認してください。"},
    {"EarlierItemFailsFirstThoughALaterSlideFailsSooner",
     [](const Path& movie) {
         OrganizerItem image = stillItem("画", "image", 1);
         image.imagePath = (movie.parent_path() / "gone.png").string();
         return Setup{documentWith({sourceAt("S1", movie)}, {}), {videoItem("長い", "S1", 1, 3.05), image}};
     },
     "映像の範囲外です：長い。時刻とアングル補正を確認してください。"},
    {"EarlierSlideFailsFirstThoughALaterItemFailsSooner",
     [](const Path& movie) {
         OrganizerItem image = stillItem("画", "image", 1);
         image.imagePath = (movie.parent_path() / "gone.png").string();
         return Setup{documentWith({sourceAt("S1", movie)}, {}), {image, videoItem("長い", "S1", 1, 3.05)}};
     },
     "画像が見つかりません：画"},
    {"ToleranceIsNotAWindowAfterAnOffset",
     [](const Path& movie) { return one(sourceAt("S1", movie, 0.5), videoItem("補正", "S1", 1, 1.6)); },
     "映像の範囲外です：補正。時刻とアングル補正を確認してください。"},
    {"NegativeClipStart",
     [](const Path& movie) { return one(sourceAt("S1", movie, -2), videoItem("負", "S1", 1, 1.5)); },
     "映像の範囲外です：負。時刻とアングル補正を確認してください。"},
    {"ItemEndingBeforeItStarts",
     [](const Path& movie) {
         // Not one of the validated document's items.
         return Setup{documentWith({sourceAt("S1", movie)}, {}), {videoItem("逆", "S1", 1.5, 1)}};
     },
     "映像の範囲外です：逆。時刻とアングル補正を確認してください。"},
    {"FreezeSourceNotInDocument",
     [](const Path& movie) {
         OrganizerItem item = stillItem("止め", "freeze", 1);
         item.sourceID = "S9";
         item.freezeTime = 0.5;
         return Setup{documentWith({sourceAt("S1", movie)}, {}), std::vector<OrganizerItem>{item}};
     },
     "フリーズフレームの元映像が見つかりません。"},
    {"FreezeWithoutTime",
     [](const Path& movie) {
         OrganizerItem item = stillItem("止め", "freeze", 1);
         item.sourceID = "S1";
         return Setup{documentWith({sourceAt("S1", movie)}, {}), std::vector<OrganizerItem>{item}};
     },
     "フリーズフレームの元映像が見つかりません。"},
    // Stills handed over on their own, with lengths no document holds: refused
    // at once instead of written frame by frame for hours.
    {"StillOfEndlessLength",
     [](const Path&) { return alone(stillItem("終わらない", "title", std::numeric_limits<double>::infinity())); },
     "映像の範囲外です：終わらない。時刻とアングル補正を確認してください。"},
    {"StillLongerThanAnyItem", [](const Path&) { return alone(stillItem("長すぎる", "title", 864000.5)); },
     "映像の範囲外です：長すぎる。時刻とアングル補正を確認してください。"},
    {"StillOfNoLength",
     [](const Path&) { return alone(stillItem("空", "image", std::numeric_limits<double>::quiet_NaN())); },
     "映像の範囲外です：空。時刻とアングル補正を確認してください。"},
    {"ImageFileMissing", [](const Path& movie) { return imageAt("スライド1", movie.parent_path() / "nothing.png"); },
     "画像が見つかりません：スライド1"},
    {"ImagePathIsAFolder", [](const Path& movie) { return imageAt("フォルダ", movie.parent_path()); },
     "画像が見つかりません：フォルダ"},
    {"ImagePathIsAPipe",
     [](const Path& movie) { return imageAt("パイプ", namedPipe(movie.parent_path() / "picture.fifo")); },
     "画像が見つかりません：パイプ"},
    {"ImageFileIsNotAPicture", [](const Path& movie) { return imageAt("壊れた画像", movie); },
     "画像が見つかりません：壊れた画像"},
};

class OrganizerExporterFailureTest : public OrganizerExporterTest,
                                     public ::testing::WithParamInterface<FailureCase> { };

TEST_P(OrganizerExporterFailureTest, FailsWithItsMessageAndLeavesNothingBehind)
{
    const FailureCase& c = GetParam();
    auto [document, items] = c.make(two());
    const auto url = out / "out.mp4";
    OrganizerExporter exporter;
    EXPECT_EQ(renderMessage(exporter, document, items, url), c.message);
    EXPECT_FALSE(std::filesystem::exists(url));
    EXPECT_TRUE(temporary.leftovers().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterFailureTest, ::testing::ValuesIn(failureCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(OrganizerExporterTest, ThousandItemsPassTheCountTest)
{
    // A cancelled exporter stops at its first item, after the count test.
    std::vector<OrganizerItem> items(1000, stillItem("t", "title", 1));
    OrganizerExporter exporter;
    exporter.cancel();
    EXPECT_EQ(renderMessage(exporter, OrganizerDocument{}, items, out / "out.mp4"), cancelled);
    EXPECT_TRUE(temporary.leftovers().empty());
}

TEST_F(OrganizerExporterTest, CheckThrowsOnlyAfterCancelAndStaysCancelled)
{
    OrganizerExporter exporter;
    EXPECT_NO_THROW(exporter.check());
    exporter.cancel();
    exporter.cancel();
    for (int i = 0; i < 2; ++i) {
        try {
            exporter.check();
            ADD_FAILURE() << "check() passed after cancel()";
        } catch (const ExportFailure& error) {
            EXPECT_EQ(error.message, cancelled);
        }
    }
}

TEST_F(OrganizerExporterTest, ProgressDuringPreparationNamesEachItem)
{
    OrganizerItem first = videoItem("a", "S1", 0, 0.5);
    OrganizerItem second = stillItem("b", "title", 0.5);
    OrganizerItem third = videoItem("c", "S1", 0.5, 1);
    const std::vector<OrganizerItem> items{first, second, third};
    const auto url = out / "out.mp4";
    std::vector<ProgressStep> steps;
    OrganizerExporter exporter;
    ASSERT_EQ(renderMessage(exporter, documentWith({sourceAt("S1", two())}, items), items, url, &steps), "");
    ASSERT_GE(steps.size(), 4u);
    // Preparing holds the fraction at zero; writing is the fraction, which
    // never falls and is the percentage shown, cut toward zero.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(steps[size_t(i)].fraction, 0);
        EXPECT_EQ(steps[size_t(i)].text, std::to_string(i + 1) + "/3 素材を準備中");
    }
    for (size_t i = 3; i + 1 < steps.size(); ++i) {
        EXPECT_LE(steps[i].fraction, 1.0);
        EXPECT_EQ(steps[i].text.rfind("MP4を書き出し中 ", 0), 0u) << steps[i].text;
        EXPECT_EQ(steps[i].text.back(), '%');
        EXPECT_GE(steps[i].fraction, steps[i - 1].fraction);
        const std::string digits = steps[i].text.substr(std::string("MP4を書き出し中 ").size());
        EXPECT_EQ(std::stoi(digits.substr(0, digits.size() - 1)), int(float(steps[i].fraction) * 100)) << steps[i].text;
    }
    EXPECT_DOUBLE_EQ(steps.back().fraction, 1.0);
    EXPECT_EQ(steps.back().text, "保存しました：" + url.string());
    EXPECT_TRUE(std::filesystem::exists(url));
    EXPECT_TRUE(temporary.leftovers().empty());
}

TEST_F(OrganizerExporterTest, CancelAfterCompletionChangesNothing)
{
    const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 0.5)};
    const auto url = out / "out.mp4";
    OrganizerExporter exporter;
    ASSERT_EQ(renderMessage(exporter, documentWith({sourceAt("S1", two())}, items), items, url), "");
    exporter.cancel();
    EXPECT_TRUE(std::filesystem::exists(url));
    EXPECT_GT(std::filesystem::file_size(url), 0u);
}

TEST_F(OrganizerExporterTest, FailureDoesNotRemoveAFileItNeverWrote)
{
    // A failure before the export starts leaves the destination alone.
    const auto url = out / "existing.mp4";
    std::filesystem::copy_file(two(), url);
    const std::vector<OrganizerItem> items{videoItem("x", "S1", 0, 9)};
    OrganizerExporter exporter;
    EXPECT_NE(renderMessage(exporter, documentWith({sourceAt("S1", two())}, items), items, url), "");
    EXPECT_TRUE(std::filesystem::exists(url));
}

// Items of good files that reach where the pictures have not begun or have
// ended are written as the preview plays them: the first picture before the
// pictures start, the last one held after, the sound throughout. A file whose
// data runs out early is still refused, whatever names it.
struct PictureEndCase {
    const char* name;
    const char* kind; // a recorded kind
    double start, end;
    double keptShare = 1; // the share of the file left, as a copy broken off leaves it
};

void PrintTo(const PictureEndCase& c, std::ostream* out)
{
    *out << c.name;
}

// A cut MP4 with its index first is the destination table's SourceCutShort.
const PictureEndCase pictureEndCases[] = {
    {"PhoneItemInTheSoundOnlyTail", "long sound", 2.5, 3.8},
    {"PhoneItemJustPastTheLastPicture", "long sound", 2.0, 3.2},
    {"MatroskaItemInTheSoundOnlyTail", "Matroska long sound", 2.5, 3.8},
    {"TransportStreamItemBeforeItsFirstPicture", "TS sound leads", 0.2, 1.5},
    {"Mp4ItemInItsEmptyEdit", "MP4 empty edit", 0.3, 1.4},
    {"CutMatroskaRefused", "Matroska", 0.5, 2.5, 0.4},
};

class OrganizerExporterPictureEnd : public OrganizerExporterTest,
                                    public ::testing::WithParamInterface<PictureEndCase> { };

TEST_P(OrganizerExporterPictureEnd, ShowsTheNearestPictureWithTheSoundUnlessTheFileIsCut)
{
    const PictureEndCase& c = GetParam();
    const RecordedMovie movie = makeRecordedMovie(out.path(), c.kind);
    const bool cut = c.keptShare < 1;
    if (cut)
        std::filesystem::resize_file(movie.path,
                                     uintmax_t(double(std::filesystem::file_size(movie.path)) * c.keptShare));
    const std::vector<OrganizerItem> items{videoItem("a", "S1", c.start, c.end)};
    const Path url = out / "out.mp4";
    OrganizerExporter exporter;
    const std::string message = renderMessage(exporter, documentWith({sourceAt("S1", movie.path)}, items), items, url);
    EXPECT_TRUE(temporary.leftovers().empty());
    if (cut) {
        EXPECT_TRUE(message.starts_with("「" + movie.path.filename().string() + "」を読み込めません。")) << message;
        EXPECT_FALSE(std::filesystem::exists(url));
        return;
    }
    ASSERT_EQ(message, "");
    const size_t frames = inspectMovie(url).frameTimes.size();
    ASSERT_EQ(frames, size_t(std::lround((c.end - c.start) * 30)));
    const double from = recordedClockStart(movie);
    for (size_t k : {size_t(0), frames - 1}) {
        const TestFrame source = decodeFrameAt(movie.path, from + c.start + double(k) / 30);
        EXPECT_EQ(readFrameCode(decodeFrame(url, int(k)), 0, 0, 1280, 720), readFrameCode(source, 0, 0, 160, 90))
            << "frame " << k;
    }
    const std::vector<float> sound = decodeAudioMono(url, 8000);
    for (size_t at = 400; at + 2400 <= sound.size(); at += 2000)
        EXPECT_GT(rmsLevel(sound, at, at + 2000), 0.05) << "the sound at " << double(at) / 8000 << " s";
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterPictureEnd, ::testing::ValuesIn(pictureEndCases), ByName{});

// Cancels at a known step: from the progress callback itself, or from another
// thread shortly after a step began (inside the slide that follows it).
struct CancelCase {
    const char* label;
    const char* textPrefix; // the progress text that triggers the cancel
    int delayMs;            // < 0: cancel in the callback; otherwise from a thread after this delay
};

const CancelCase cancelCases[] = {
    {"WhilePreparingTheFirstItem", "1/3 ", -1},
    {"InsideTheSlide", "2/3 ", 30},
    // Seen by the test just before the export, which then never starts.
    {"AfterTheLastItemIsPrepared", "3/3 ", -1},
    {"WhenTheExportStarts", "MP4を書き出し中", -1},
    {"DuringTheExport", "MP4を書き出し中", 100},
};

class OrganizerExporterCancelTest : public OrganizerExporterTest, public ::testing::WithParamInterface<CancelCase> { };

TEST_P(OrganizerExporterCancelTest, EndsWithTheCancelMessageAndNoFile)
{
    const CancelCase& c = GetParam();
    const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 1.5), stillItem("b", "title", 3),
                                           videoItem("c", "S1", 0.5, 2)};
    const auto url = out / "out.mp4";
    OrganizerExporter exporter;
    std::thread canceller;
    std::string message;
    try {
        exporter.render(documentWith({sourceAt("S1", two())}, items), items, url, [&](double, const std::string& text) {
            if (text.rfind(c.textPrefix, 0) != 0 || canceller.joinable()) return;
            if (c.delayMs < 0) {
                exporter.cancel();
                canceller = std::thread([] {});
                return;
            }
            canceller = std::thread([&exporter, delay = c.delayMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                exporter.cancel();
            });
        });
    } catch (const ExportFailure& error) {
        message = error.message;
    }
    if (canceller.joinable()) canceller.join();
    EXPECT_EQ(message, cancelled);
    EXPECT_FALSE(std::filesystem::exists(url));
    EXPECT_TRUE(temporary.leftovers().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterCancelTest, ::testing::ValuesIn(cancelCases),
                         [](const auto& info) { return std::string(info.param.label); });

// Cancels at random moments of an export of a video, a slide and a video:
// before it starts, while a slide is written, while the export encodes. Every
// run ends promptly either complete or with the cancel message, never with a
// file after a cancel and never with a work folder left behind.
TEST_F(OrganizerExporterTest, CancelAtRandomMomentsEndsCleanly)
{
    const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 1.5), stillItem("b", "title", 2),
                                           videoItem("c", "S1", 0.5, 2)};
    const OrganizerDocument document = documentWith({sourceAt("S1", two())}, items);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMs(0, 900);
    int cancelledRuns = 0;
    for (int run = 0; run < 8; ++run) {
        const auto url = out / ("run" + std::to_string(run) + ".mp4");
        OrganizerExporter exporter;
        const int delay = delayMs(random);
        std::atomic<std::chrono::steady_clock::time_point> cancelledAt{};
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            cancelledAt = std::chrono::steady_clock::now();
            exporter.cancel();
        });
        const std::string message = renderMessage(exporter, document, items, url);
        const auto returnedAt = std::chrono::steady_clock::now();
        canceller.join();
        // A hang guard, not a speed target: a cancelled render returns within
        // a poll or a frame, far below this bound.
        if (!message.empty()) {
            EXPECT_LT(returnedAt - cancelledAt.load(), std::chrono::seconds(5)) << "delay " << delay;
        }
        if (message.empty()) {
            EXPECT_TRUE(std::filesystem::exists(url)) << "delay " << delay;
        } else {
            ++cancelledRuns;
            EXPECT_EQ(message, cancelled) << "delay " << delay;
            EXPECT_FALSE(std::filesystem::exists(url)) << "delay " << delay;
        }
        EXPECT_TRUE(temporary.leftovers().empty()) << "delay " << delay;
    }
    EXPECT_GT(cancelledRuns, 0);
}

struct DestinationCase {
    const char* label;
    bool cutShort; // the source is the movie cut short, else the whole one
    // Makes what stands in the way and returns the destination.
    std::function<Path(const Path& folder)> place;
    bool earlierFile; // a file of the person's stands at the destination first
    // The destination's folder is a disk of a few kilobytes (read-only with MS_RDONLY).
    std::optional<unsigned long> disk;
    std::string message; // how the message starts
};

const DestinationCase destinationCases[] = {
    {"PathThroughAFile",
     false,
     [](const Path& folder) {
         writeText(folder / "notes", "x");
         return folder / "notes" / "out.mp4";
     },
     false,
     {},
     "「out.mp4」を保存できません。保存先のフォルダが見つかりません。（Not a directory）"},
    {"FolderAtTheDestination",
     false,
     [](const Path& folder) {
         std::filesystem::create_directories(folder / "out.mp4");
         return folder / "out.mp4";
     },
     false,
     {},
     "「out.mp4」を保存できません。同じ名前のフォルダがあります。（Is a directory）"},
    {"SourceCutShort",
     true,
     [](const Path& folder) { return folder / "out.mp4"; },
     true,
     {},
     "「cut.mp4」を読み込めません。（"},
    {"DiskFull", false, [](const Path& folder) { return folder / "small" / "out.mp4"; }, true, 0,
     "「out.mp4」を保存できません。ディスクの空き容量が足りません。（No space left on device）"},
    {"ReadOnlyDisk", false, [](const Path& folder) { return folder / "small" / "out.mp4"; }, false, MS_RDONLY,
     "「out.mp4」を保存できません。保存先は読み出し専用です。（Read-only file system）"},
};

class OrganizerExporterDestinationFailure : public OrganizerExporterTest,
                                            public ::testing::WithParamInterface<DestinationCase> { };

TEST_P(OrganizerExporterDestinationFailure, NamesTheFileAtFaultAndKeepsWhatStoodThere)
{
    const DestinationCase& c = GetParam();
    std::optional<SmallDisk> disk;
    if (c.disk && !disk.emplace(out / "small", *c.disk).mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const Path url = c.place(out.path());
    if (c.earlierFile) writeText(url, "earlier");
    const bool folder = std::filesystem::is_directory(url);
    const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 1.5)};
    OrganizerExporter exporter;
    const std::string message =
        renderMessage(exporter, documentWith({sourceAt("S1", c.cutShort ? cut() : two())}, items), items, url);
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

// What an export killed in the middle left (its hidden movie, its work
// folder) goes with the next export, never while it still runs; the user's
// own files that merely look alike stay.
TEST_F(OrganizerExporterTest, NextExportRemovesWhatAKilledExportLeftOnly)
{
    const std::vector<OrganizerItem> items{videoItem("a", "S1", 0, 1)};
    const OrganizerDocument document = documentWith({sourceAt("S1", two())}, items);
    const std::vector<Path> lookAlikes{out / ".zanto-notes.txt", out / ".zanto-x.mp4",
                                       std::filesystem::temp_directory_path() / "zanto-organizer-notes"};
    for (const Path& file : lookAlikes) writeText(file, "mine");
    StoppedWriter killed([&] { OrganizerExporter().render(document, items, out / "killed.mp4", {}); }, 16 << 10);
    ASSERT_TRUE(killed.stopped());
    const std::vector<std::string> left = hiddenMovies(out.path());
    ASSERT_EQ(left.size(), 3u);
    const std::vector<std::string> work = temporary.leftovers();
    ASSERT_EQ(work.size(), 2u);

    OrganizerExporter live;
    ASSERT_EQ(renderMessage(live, document, items, out / "next.mp4"), "");
    EXPECT_EQ(hiddenMovies(out.path()), left) << "a running export's file was taken";
    EXPECT_EQ(temporary.leftovers(), work) << "a running export's work folder was taken";
    killed.kill();
    OrganizerExporter after;
    ASSERT_EQ(renderMessage(after, document, items, out / "next.mp4"), "");
    EXPECT_EQ(hiddenMovies(out.path()), (std::vector<std::string>{".zanto-notes.txt", ".zanto-x.mp4"}));
    EXPECT_EQ(temporary.leftovers(), std::vector<std::string>{"zanto-organizer-notes"});
    EXPECT_FALSE(std::filesystem::exists(out / "killed.mp4"));
}

} // namespace
} // namespace zanto::test
