#include "playlist/OrganizerExporter.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "OrganizerExporterTestSupport.h"
#include "platform/media/MediaAsset.h"
#include "services/ExportFailure.h"
#include "services/MediaExporter.h"
#include "support/FcpxmlValidation.h"
#include "support/PlaylistSamples.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

namespace zanto {
namespace {

namespace fs = std::filesystem;
using test::ProgressStep;

constexpr const char* preparing = "XML素材を準備中";

// The file a "file://" URL names, with every %XX turned back into its byte.
fs::path pathOfUrl(const std::string& url)
{
    EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
    std::string path;
    for (std::size_t at = 7; at < url.size(); ++at) {
        if (url[at] == '%' && at + 2 < url.size()) {
            path += char(std::stoi(url.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else {
            EXPECT_TRUE(std::isalnum((unsigned char)url[at]) || std::string("-._~/").find(url[at]) != std::string::npos)
                << "unencoded '" << url[at] << "' in " << url;
            path += url[at];
        }
    }
    return path;
}

std::vector<std::string> entriesOf(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The attributes of an element by name.
std::map<std::string, std::string> attributesOf(const pugi::xml_node& node)
{
    std::map<std::string, std::string> attributes;
    for (const pugi::xml_attribute& attribute : node.attributes()) attributes[attribute.name()] = attribute.value();
    return attributes;
}

// A time of the two-piece form "value/scales" as (value, scale).
std::pair<long long, long long> rationalOf(const std::string& time)
{
    long long value = -1, scale = 0;
    char s = 0;
    EXPECT_EQ(std::sscanf(time.c_str(), "%lld/%lld%c", &value, &scale, &s), 3) << time;
    EXPECT_EQ(s, 's') << time;
    return {value, scale};
}

// Every path under `folder`, relative to it, sorted.
std::vector<std::string> treeOf(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class OrganizerExporterXMLTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::ensureGuiApplication();
        movies_ = new test::TempDir("zanto-xml-playlist-movies-");
        test::TestMovieOptions pal;
        pal.picture = test::TestPicture::Solid;
        pal.frameRate = 25;
        pal.durationSeconds = 4;
        test::makeTestMovie(palMovie(), pal);
        test::TestMovieOptions thirty = pal;
        thirty.frameRate = 30;
        thirty.durationSeconds = 16;
        thirty.colour = "green";
        test::makeTestMovie(thirtyMovie(), thirty);
        test::TestMovieOptions ntsc = pal;
        ntsc.frameRate = 30000;
        ntsc.frameRateBase = 1001;
        ntsc.durationSeconds = 2;
        ntsc.audio = false;
        ntsc.timecode = "01:00:00;02";
        test::makeTestMovie(ntscMovie(), ntsc);
    }
    static void TearDownTestSuite()
    {
        delete movies_;
        movies_ = nullptr;
    }

    static fs::path palMovie() { return movies_->path() / "試合 前半.mp4"; }
    static fs::path thirtyMovie() { return movies_->path() / "camera#2.mp4"; }
    static fs::path ntscMovie() { return movies_->path() / "ドロップ 100%.mov"; }

    OrganizerDocument documentOf(const std::vector<OrganizerItem>& items) const
    {
        return test::documentWith({test::sourceAt("pal", palMovie()), test::sourceAt("thirty", thirtyMovie(), 2),
                                   test::sourceAt("ntsc", ntscMovie())},
                                  items);
    }

    // Runs the export; returns the failure's message ("" on success).
    std::string exportMessage(const std::vector<OrganizerItem>& items, const std::string& title = "Game 1",
                              const std::function<void(double, const std::string&)>& onProgress = nullptr)
    {
        try {
            exporter_.exportXML(documentOf(items), items, title, destination(), [&](double f, const std::string& t) {
                steps_.push_back({f, t});
                if (onProgress) onProgress(f, t);
            });
        } catch (const ExportFailure& failure) {
            return failure.message;
        }
        return "";
    }

    fs::path destination() const { return output_ / "Game 1.fcpxml"; }

    // The entries beside the destination other than the destination itself.
    std::vector<std::string> materialsFolders() const
    {
        std::vector<std::string> names = entriesOf(output_.path());
        std::erase(names, destination().filename().string());
        return names;
    }

    void load(pugi::xml_document& document) const { test::loadXml(document, destination()); }

    static test::TempDir* movies_;
    test::TempDir output_{"zanto-xml-playlist-out-"};
    test::ScopedTemporaryFolder temporary_;
    OrganizerExporter exporter_;
    std::vector<ProgressStep> steps_;
};

test::TempDir* OrganizerExporterXMLTest::movies_ = nullptr;

TEST_F(OrganizerExporterXMLTest, ItemCountIsCheckedAfterTheDocument)
{
    EXPECT_EQ(exportMessage({}), "1〜1000件を選んでください。");
    // 1000 items pass the count; the first one then stops on its unlinked source.
    std::vector<OrganizerItem> thousand(1000, test::videoItem("lost", "none", 0, 1));
    OrganizerDocument document = documentOf({});
    document.sources.push_back(test::sourceAt("none", ""));
    const auto messageFor = [&](const std::vector<OrganizerItem>& list) {
        try {
            exporter_.exportXML(document, list, "t", destination(), nullptr);
        } catch (const ExportFailure& failure) {
            return failure.message;
        }
        return std::string();
    };
    EXPECT_EQ(messageFor(std::vector<OrganizerItem>(1001, thousand[0])), "1〜1000件を選んでください。");
    EXPECT_EQ(messageFor(thousand), "映像を再接続してください：lost");
    document.version = 2;
    EXPECT_EQ(messageFor({}), "未対応のプレイリストです。");
    EXPECT_TRUE(materialsFolders().empty());
}

TEST_F(OrganizerExporterXMLTest, SumsOffsetsWithoutReducingTimeScales)
{
    const std::vector<OrganizerItem> items = {test::videoItem("first", "pal", 0, 3),
                                              test::videoItem("second", "thirty", 1, 3),
                                              test::videoItem("third", "pal", 1, 2)};
    ASSERT_EQ(exportMessage(items), "");
    EXPECT_TRUE(test::validatesAgainstDtd(destination()));
    EXPECT_TRUE(materialsFolders().empty()) << "in-place items leave no materials folder";
    pugi::xml_document document;
    load(document);
    const pugi::xml_node sequence = document.select_node("/fcpxml/library/event/project/sequence").node();
    EXPECT_STREQ(sequence.attribute("format").value(), "r1");
    EXPECT_STREQ(sequence.attribute("duration").value(), "900/150s");
    const pugi::xpath_node_set clips = sequence.select_nodes("spine/asset-clip");
    ASSERT_EQ(clips.size(), 3u);
    const std::vector<std::map<std::string, std::string>> expected = {
        {{"ref", "r2"}, {"format", "r1"}, {"offset", "0/1s"}, {"start", "0/25s"}, {"duration", "75/25s"}},
        {{"ref", "r4"}, {"format", "r3"}, {"offset", "75/25s"}, {"start", "90/30s"}, {"duration", "60/30s"}},
        {{"ref", "r6"}, {"format", "r5"}, {"offset", "750/150s"}, {"start", "25/25s"}, {"duration", "25/25s"}},
    };
    for (std::size_t i = 0; i < clips.size(); ++i)
        for (const auto& [name, value] : expected[i])
            EXPECT_EQ(clips[i].node().attribute(name.c_str()).value(), value) << "clip " << i << " " << name;
    // Each item owns a format and an asset, even when two share a file.
    std::vector<std::string> ids;
    for (const pugi::xpath_node& node : document.select_nodes("/fcpxml/resources/*"))
        ids.push_back(std::string(node.node().name()) + ":" + node.node().attribute("id").value());
    EXPECT_EQ(ids,
              (std::vector<std::string>{"format:r1", "asset:r2", "format:r3", "asset:r4", "format:r5", "asset:r6"}));
    EXPECT_STREQ(document.select_node("//asset[@id='r6']").node().attribute("format").value(), "r5");
    EXPECT_EQ(steps_.size(), 3u);
}

TEST_F(OrganizerExporterXMLTest, RendersEveryItemThatIsNotAPlainClip)
{
    OrganizerItem marked = test::videoItem("Goal/left", "thirty", 10, 10.5);
    marked.marks = std::vector<OrganizerMark>{test::plainMark("arrow")};
    OrganizerItem title = test::stillItem("Intro:1", "title", 0.5);
    OrganizerItem freeze = test::stillItem("止め", "freeze", 0.5);
    freeze.sourceID = "pal";
    freeze.sourceIDs = {"pal"};
    freeze.freezeTime = 1.0;
    OrganizerItem plain = test::videoItem("plain", "thirty", 10, 13);
    plain.note = "note";
    plain.labels = std::vector<std::string>{"A", "B"};
    ASSERT_EQ(exportMessage({plain, marked, title, freeze}), "");
    EXPECT_TRUE(test::validatesAgainstDtd(destination()));

    const std::vector<std::string> folders = materialsFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].rfind("Game 1-素材-", 0), 0u);
    EXPECT_EQ(folders[0].size(), std::string("Game 1-素材-").size() + 8);
    EXPECT_EQ(entriesOf(output_ / folders[0]),
              (std::vector<std::string>{"2-Goal_left.mp4", "3-Intro_1.mp4", "4-止め.mp4"}));

    pugi::xml_document document;
    load(document);
    std::vector<std::string> ids;
    for (const pugi::xpath_node& node : document.select_nodes("/fcpxml/resources/*"))
        ids.push_back(node.node().attribute("id").value());
    EXPECT_EQ(ids, (std::vector<std::string>{"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8"}));
    const pugi::xpath_node_set assets = document.select_nodes("/fcpxml/resources/asset");
    ASSERT_EQ(assets.size(), 4u);
    EXPECT_EQ(pathOfUrl(assets[0].node().child("media-rep").attribute("src").value()), thirtyMovie());
    // The marked clip keeps its sound in its rendered movie, and its asset says so.
    EXPECT_STREQ(assets[1].node().attribute("hasAudio").value(), "1");
    EXPECT_STREQ(assets[1].node().attribute("audioRate").value(), "48000");
    for (std::size_t i = 1; i < assets.size(); ++i) {
        const fs::path file = pathOfUrl(assets[i].node().child("media-rep").attribute("src").value());
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
        EXPECT_EQ(file.parent_path(), output_ / folders[0]);
    }

    const pugi::xpath_node_set clips = document.select_nodes("//spine/asset-clip");
    ASSERT_EQ(clips.size(), 4u);
    // The plain clip lies at source seconds 12 to 15 (start 10 plus offset 2);
    // the rendered ones start at the beginning of their own movies.
    EXPECT_STREQ(clips[0].node().attribute("start").value(), "360/30s");
    EXPECT_STREQ(clips[0].node().attribute("duration").value(), "90/30s");
    EXPECT_STREQ(clips[0].node().child("marker").attribute("note").value(), "note / A / B");
    const char* offsets[] = {"0/1s", "90/30s", "105/30s", "120/30s"};
    for (std::size_t i = 1; i < clips.size(); ++i) {
        EXPECT_STREQ(clips[i].node().attribute("start").value(), "0/30s") << i;
        EXPECT_STREQ(clips[i].node().attribute("duration").value(), "15/30s") << i;
    }
    for (std::size_t i = 0; i < clips.size(); ++i)
        EXPECT_STREQ(clips[i].node().attribute("offset").value(), offsets[i]) << i;
    EXPECT_STREQ(clips[1].node().attribute("name").value(), "Goal/left");

    // Each report of a render reaches us as (i + f) / 4, f being render's own
    // fraction, with its text unchanged: its first step (f = 0), its export
    // steps (f = done for "MP4を書き出し中 <done>%") and its last
    // (f = 1, naming the item's movie). Each item ends with the merge's own
    // report at (i + 1) / 4, and nothing comes after the last.
    const std::vector<std::string> movies = {"", "2-Goal_left.mp4", "3-Intro_1.mp4", "4-止め.mp4"};
    const std::string exporting = "MP4を書き出し中 ";
    std::size_t item = 0;
    std::size_t stepsOfItem = 0;
    for (const ProgressStep& step : steps_) {
        if (step.text == preparing) {
            EXPECT_DOUBLE_EQ(step.fraction, ++item / 4.0);
            EXPECT_EQ(stepsOfItem > 0, item > 1) << "only rendered items report before the merge, item " << item;
            stepsOfItem = 0;
            continue;
        }
        ASSERT_LT(item, movies.size());
        const double own = step.fraction * 4 - double(item);
        if (stepsOfItem++ == 0) {
            EXPECT_NEAR(own, 0, 1e-12) << step.text;
            EXPECT_EQ(step.text, "1/1 素材を準備中");
        } else if (step.text.rfind(exporting, 0) == 0) {
            const int percent = std::stoi(step.text.substr(exporting.size()));
            EXPECT_NEAR(own * 100, percent, 1.0) << step.fraction << " " << step.text;
        } else {
            EXPECT_NEAR(own, 1, 1e-12) << step.text;
            EXPECT_EQ(step.text, "保存しました：" + (output_ / folders[0] / movies[item]).string());
        }
    }
    EXPECT_EQ(item, 4u);
    EXPECT_EQ(steps_.back().text, preparing);
}

TEST_F(OrganizerExporterXMLTest, CancelWhileAnItemRendersRemovesEverything)
{
    std::ofstream(destination()) << "earlier";
    const std::vector<OrganizerItem> items = {test::stillItem("one", "title", 0.5),
                                              test::stillItem("two", "title", 0.5),
                                              test::videoItem("three", "pal", 0, 1)};
    const std::string message = exportMessage(items, "Game 1", [&](double fraction, const std::string& text) {
        if (fraction >= 1.0 / 3.0 - 1e-9 && text != preparing) exporter_.cancel();
    });
    EXPECT_EQ(message, "書き出しを中止しました。");
    EXPECT_TRUE(materialsFolders().empty());
    EXPECT_EQ(readText(destination()), "earlier");
    EXPECT_TRUE(temporary_.leftovers().empty());
}

// A cancel takes effect at the next check: before the first item (k = 0),
// before the next item, or after the last one, before anything is written.
class OrganizerExporterXMLCancelTest : public OrganizerExporterXMLTest, public testing::WithParamInterface<int> { };

TEST_P(OrganizerExporterXMLCancelTest, StopsAtTheNextCheck)
{
    std::ofstream(destination()) << "earlier";
    const int cancelAfter = GetParam(); // merge reports seen before cancelling
    if (cancelAfter == 0) exporter_.cancel();
    int seen = 0;
    const std::vector<OrganizerItem> items = {test::videoItem("one", "pal", 0, 1),
                                              test::videoItem("two", "thirty", 0, 1)};
    EXPECT_EQ(exportMessage(items, "Game 1",
                            [&](double, const std::string& text) {
                                if (text == preparing && ++seen == cancelAfter) exporter_.cancel();
                            }),
              "書き出しを中止しました。");
    EXPECT_EQ(seen, cancelAfter);
    EXPECT_TRUE(materialsFolders().empty());
    EXPECT_EQ(readText(destination()), "earlier");
}

INSTANTIATE_TEST_SUITE_P(Points, OrganizerExporterXMLCancelTest, testing::Values(0, 1, 2));

TEST_F(OrganizerExporterXMLTest, CancelFromAnotherThreadStopsALongExport)
{
    // One clip exported a thousand times (the list is the caller's choice).
    const std::vector<OrganizerItem> items(1000, test::videoItem("clip", "pal", 0, 1));
    const OrganizerDocument document = documentOf({items[0]});
    std::atomic<int> merged{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
    std::string message;
    std::thread worker([&] {
        try {
            // The first step waits for the cancel, so a busy machine cannot let the export finish first.
            exporter_.exportXML(document, items, "Game 1", destination(), [&](double, const std::string&) {
                if (merged++ == 0)
                    while (!cancelled) std::this_thread::yield();
            });
        } catch (const ExportFailure& failure) {
            message = failure.message;
        }
        done = true;
    });
    while (merged == 0 && !done) std::this_thread::yield();
    exporter_.cancel();
    cancelled = true;
    worker.join();
    EXPECT_EQ(message, "書き出しを中止しました。");
    EXPECT_LT(merged, 1000);
    EXPECT_FALSE(fs::exists(destination()));
    EXPECT_TRUE(materialsFolders().empty());
}

struct FailureCase {
    const char* name;
    std::function<void(std::vector<OrganizerItem>&, OrganizerDocument&)> change;
    const char* message;
};

class OrganizerExporterXMLFailureTest : public OrganizerExporterXMLTest,
                                        public testing::WithParamInterface<FailureCase> { };

TEST_P(OrganizerExporterXMLFailureTest, LeavesNoFolderAndAnUntouchedDestination)
{
    std::ofstream(destination()) << "earlier";
    // A rendered first item puts a movie in the materials folder before the failure.
    std::vector<OrganizerItem> items = {test::stillItem("intro", "title", 0.5), test::videoItem("b", "pal", 0, 1)};
    OrganizerDocument document = documentOf(items);
    // The list exported may differ from the rows (the window passes its own
    // selection), so a change to the list alone reaches only the exporter.
    GetParam().change(items, document);
    std::string message = "no failure";
    try {
        exporter_.exportXML(document, items, "Game 1", destination(), nullptr);
    } catch (const ExportFailure& failure) {
        message = failure.message;
    } catch (const fs::filesystem_error&) {
        message = "file system error";
    }
    EXPECT_EQ(message, GetParam().message);
    EXPECT_TRUE(materialsFolders().empty());
    EXPECT_EQ(readText(destination()), "earlier");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OrganizerExporterXMLFailureTest,
    testing::Values(FailureCase{"UnlinkedSource", [](auto&, OrganizerDocument& d) { d.sources[0].path = ""; },
                                "映像を再接続してください：b"},
                    FailureCase{"UnknownSource",
                                [](std::vector<OrganizerItem>& items, auto&) { items[1].sourceID = "elsewhere"; },
                                "映像を再接続してください：b"},
                    FailureCase{"MissingFile", [](auto&, OrganizerDocument& d) { d.sources[0].path += ".gone"; },
                                "「試合 前半.mp4.gone」が見つかりません。（No such file or directory）"},
                    FailureCase{"PastTheSource",
                                [](std::vector<OrganizerItem>& items, auto&) {
                                    items[1].start = 3.5;
                                    items[1].end = 4.5;
                                },
                                "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。"},
                    FailureCase{"NotAMovie",
                                [](auto&, OrganizerDocument& d) {
                                    d.sources[0].path = d.sources[0].path + ".txt";
                                    std::ofstream(d.sources[0].path) << "text";
                                },
                                "この動画を読み込めません。Macで再生できるMP4またはMOVを選んでください。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerExporterXMLTest, ControlCharactersNeverReachTheFile)
{
    OrganizerItem item = test::videoItem("Go\x01"
                                         "al",
                                         "pal", 0, 1);
    item.note = "a\x1B[0m note";
    item.labels = std::vector<std::string>{"x\x7F", "\x02"};
    ASSERT_EQ(exportMessage({item}, "Match\x0B day"), "");
    EXPECT_TRUE(test::validatesAgainstDtd(destination()));
    pugi::xml_document document;
    load(document);
    EXPECT_STREQ(document.select_node("//event").node().attribute("name").value(), "Match day — ZANTORIX");
    EXPECT_STREQ(document.select_node("//project").node().attribute("name").value(), "Match day");
    const pugi::xml_node clip = document.select_node("//spine/asset-clip").node();
    EXPECT_STREQ(clip.attribute("name").value(), "Goal");
    EXPECT_STREQ(clip.child_value("note"), "a[0m note");
    EXPECT_STREQ(clip.child("marker").attribute("note").value(), "a[0m note / x\x7F / ");
    EXPECT_TRUE(materialsFolders().empty());
}

TEST_F(OrganizerExporterXMLTest, EmptyTitleNamesTheFolderClip)
{
    ASSERT_EQ(exportMessage({test::stillItem("slide", "title", 0.5)}, ""), "");
    EXPECT_TRUE(test::validatesAgainstDtd(destination()));
    const std::vector<std::string> folders = materialsFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].rfind("clip-素材-", 0), 0u);
    EXPECT_EQ(entriesOf(output_ / folders[0]), std::vector<std::string>{"1-slide.mp4"});
    pugi::xml_document document;
    load(document);
    EXPECT_STREQ(document.select_node("//event").node().attribute("name").value(), " — ZANTORIX");
    EXPECT_STREQ(document.select_node("//project").node().attribute("name").value(), "");
    EXPECT_EQ(readText(destination()).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fcpxml", 0), 0u)
        << "declaration first and no document type";
}

// The merge adds nothing of its own to a clip: every format, asset and clip
// is the one-clip document's for the same range, renumbered, at its offset.
TEST_F(OrganizerExporterXMLTest, MergedClipsAreTheOneClipDocumentsLaidEndToEnd)
{
    OrganizerItem first = test::videoItem("前半 & <late>", "pal", 0.5, 1.7);
    first.note = "line one\nline two \"quoted\"";
    first.labels = std::vector<std::string>{"A&B", "]]>"};
    const std::vector<OrganizerItem> items = {first, test::videoItem("ntsc", "ntsc", 0.2, 1.0),
                                              test::videoItem("third", "thirty", 4, 5)};
    ASSERT_EQ(exportMessage(items), "");
    EXPECT_TRUE(test::validatesAgainstDtd(destination()));
    pugi::xml_document merged;
    load(merged);
    const pugi::xpath_node_set resources = merged.select_nodes("/fcpxml/resources/*");
    const pugi::xpath_node_set clips = merged.select_nodes("/fcpxml/library/event/project/sequence/spine/asset-clip");
    ASSERT_EQ(resources.size(), 6u);
    ASSERT_EQ(clips.size(), 3u);

    const OrganizerDocument document = documentOf(items);
    for (std::size_t k = 0; k < items.size(); ++k) {
        SCOPED_TRACE(items[k].name);
        const OrganizerSource& source = *std::find_if(document.sources.begin(), document.sources.end(),
                                                      [&](const auto& s) { return s.id == items[k].sourceID; });
        const fs::path file = source.path;
        test::TempDir folder("zanto-xml-part-");
        const ExportRequest request{
            "id",
            "fcpxml",
            "x",
            {file.filename().string(), std::int64_t(fs::file_size(file)), MediaAsset::load(file).duration.seconds()},
            {Clip{items[k].start + source.offset, items[k].end + source.offset, items[k].name, items[k].note,
                  items[k].labels.value_or(std::vector<std::string>{})}}};
        MediaExporter job;
        pugi::xml_document part;
        test::loadXml(part, job.run(request, file, folder.path(), nullptr).at(0));

        const std::string formatId = "r" + std::to_string(2 * k + 1);
        const std::string assetId = "r" + std::to_string(2 * k + 2);
        auto format = attributesOf(part.select_node("/fcpxml/resources/format").node());
        format["id"] = formatId;
        EXPECT_EQ(attributesOf(resources[2 * k].node()), format);
        const pugi::xml_node partAsset = part.select_node("/fcpxml/resources/asset").node();
        auto asset = attributesOf(partAsset);
        asset["id"] = assetId;
        asset["format"] = formatId;
        EXPECT_EQ(attributesOf(resources[2 * k + 1].node()), asset);
        EXPECT_EQ(attributesOf(resources[2 * k + 1].node().child("media-rep")),
                  attributesOf(partAsset.child("media-rep")));

        const pugi::xml_node partClip = part.select_node("//spine/asset-clip").node();
        auto clip = attributesOf(partClip);
        clip["ref"] = assetId;
        clip["format"] = formatId;
        clip["offset"] = clips[k].node().attribute("offset").value();
        EXPECT_EQ(attributesOf(clips[k].node()), clip);
        EXPECT_STREQ(clips[k].node().child_value("note"), partClip.child_value("note"));
        EXPECT_EQ(attributesOf(clips[k].node().child("marker")), attributesOf(partClip.child("marker")));
    }
    EXPECT_STREQ(clips[0].node().child_value("note"), first.note.c_str());
    EXPECT_EQ(clips[0].node().child("marker").attribute("note").value(), first.note + " / A&B / ]]>");
    // The timecode 01:00:00;02 (drop frame) is frame 107894; the clip starts 6 frames in.
    EXPECT_STREQ(clips[1].node().attribute("start").value(), "108007900/30000s");

    // Offsets are the exact sums of the durations before, never reduced.
    const std::vector<std::string> offsets = {"0/1s", "30/25s", "60024/30000s"};
    for (std::size_t k = 0; k < clips.size(); ++k) EXPECT_EQ(clips[k].node().attribute("offset").value(), offsets[k]);
    EXPECT_STREQ(merged.select_node("//sequence").node().attribute("duration").value(), "90024/30000s");
    __int128 value = 0, scale = 1;
    for (const pugi::xpath_node& node : clips) {
        const auto [offsetValue, offsetScale] = rationalOf(node.node().attribute("offset").value());
        EXPECT_TRUE(offsetValue * scale == value * offsetScale) << node.node().attribute("offset").value();
        const auto [durationValue, durationScale] = rationalOf(node.node().attribute("duration").value());
        value = value * durationScale + durationValue * scale;
        scale *= durationScale;
    }
}

// Failures of the disk name the file the person chose, and leave nothing behind.
struct PlatformFailureCase {
    const char* name;
    std::function<fs::path(const fs::path& output)> destination; // makes what stands there first
    std::string message;
};

class OrganizerExporterXMLPlatformTest : public OrganizerExporterXMLTest,
                                         public testing::WithParamInterface<PlatformFailureCase> { };

TEST_P(OrganizerExporterXMLPlatformTest, NamesTheChosenFileAndRemovesTheMaterials)
{
    const fs::path target = GetParam().destination(output_.path());
    const std::vector<std::string> before = treeOf(output_.path());
    const std::vector<OrganizerItem> items = {test::stillItem("intro", "title", 0.5),
                                              test::videoItem("b", "pal", 0, 1)};
    try {
        exporter_.exportXML(documentOf(items), items, "Game 1", target, nullptr);
        ADD_FAILURE() << "no failure";
    } catch (const ExportFailure& failure) {
        EXPECT_EQ(failure.message, GetParam().message);
    }
    EXPECT_EQ(treeOf(output_.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, OrganizerExporterXMLPlatformTest,
    testing::Values(
        PlatformFailureCase{"MaterialsFolderUnderAFile",
                            [](const fs::path& output) {
                                std::ofstream(output / "notes") << "x";
                                return output / "notes" / "Game 1.fcpxml";
                            },
                            "「Game 1.fcpxml」を保存できません。保存先のフォルダが見つかりません。（Not a directory）"},
        PlatformFailureCase{"DestinationIsAFolder",
                            [](const fs::path& output) {
                                fs::create_directories(output / "Game 1.fcpxml" / "kept");
                                return output / "Game 1.fcpxml";
                            },
                            "「Game 1.fcpxml」を保存できません。同じ名前のフォルダがあります。（Is a directory）"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto
