#include "services/MediaExporter.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "services/ExportFailure.h"
#include "services/FcpxmlTiming.h"
#include "services/XmlText.h"
#include "support/FcpxmlValidation.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

namespace zanto {
namespace {

namespace fs = std::filesystem;

constexpr const char* rateMessage =
    "フレームレートを判定できません。MP4で書き出すか、固定フレームレートの動画を使用してください。";
constexpr const char* unreadableTimecode = "元動画のタイムコードを読み取れません。MP4書き出しをご利用ください。";
constexpr const char* invalidTimecode = "タイムコードが不正です。";
constexpr const char* unsupportedTimecode = "未対応のタイムコード形式です。MP4書き出しをご利用ください。";

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ExportFailure& failure) {
        return failure.message;
    }
    return "";
}

// ---- frame durations

struct RateCase {
    const char* name;
    MediaTime trackFrameDuration;
    bool constant;
    MediaTime expected; // 0/1 when the rate is refused
};

class FrameDurationTest : public testing::TestWithParam<RateCase> { };

TEST_P(FrameDurationTest, SnapsToStandardRatesOrRefuses)
{
    const RateCase& c = GetParam();
    VideoTrackInfo video;
    video.frameDuration = c.trackFrameDuration;
    video.nominalFrameRate = c.trackFrameDuration.value > 0 ? 1.0 / c.trackFrameDuration.seconds() : 0;
    video.constantFrameRate = c.constant;
    if (c.expected.value == 0) {
        EXPECT_EQ(messageOf([&] { fcpxmlFrameDuration(video); }), rateMessage);
        return;
    }
    EXPECT_EQ(fcpxmlFrameDuration(video), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rates, FrameDurationTest,
                         testing::Values(RateCase{"Thirty", {1, 30}, true, {1, 30}},
                                         RateCase{"ThirtyInTrackUnits", {512, 15360}, true, {1, 30}},
                                         RateCase{"NtscThirty", {1001, 30000}, true, {1001, 30000}},
                                         RateCase{"NtscSixty", {1001, 60000}, true, {1001, 60000}},
                                         RateCase{"NtscFilm", {1001, 24000}, true, {1001, 24000}},
                                         RateCase{"Pal", {1, 25}, true, {1, 25}},
                                         RateCase{"Fifteen", {1, 15}, true, {1, 15}},
                                         RateCase{"NearlyThirty", {100001, 3000000}, true, {1, 30}},
                                         RateCase{"HalfFrameRate", {2, 25}, true, {0, 1}},
                                         RateCase{"BetweenNtscAndWhole", {1000, 29985}, true, {0, 1}},
                                         RateCase{"Unknown", {0, 1}, true, {0, 1}},
                                         RateCase{"Variable", {1, 30}, false, {0, 1}},
                                         RateCase{"TooFast", {1, 480}, true, {0, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- start timecodes

struct TimecodeCase {
    const char* name;
    const char* text; // nullptr: the file has no timecode
    int framesPerSecond;
    MediaTime frameDuration;
    std::int64_t frames;
    const char* message; // "" when accepted
};

class TimecodeTest : public testing::TestWithParam<TimecodeCase> { };

TEST_P(TimecodeTest, CountsFramesOrNamesTheFault)
{
    const TimecodeCase& c = GetParam();
    std::optional<MediaTimecode> timecode;
    if (c.text) timecode = MediaTimecode{c.text, false, c.frameDuration, c.framesPerSecond};
    std::int64_t frames = -1;
    EXPECT_EQ(messageOf([&] { frames = fcpxmlTimecodeFrames(timecode, c.frameDuration); }), c.message);
    if (std::string(c.message).empty()) {
        EXPECT_EQ(frames, c.frames);
    }
}

constexpr MediaTime ntsc{1001, 30000};
constexpr MediaTime ntscSixty{1001, 60000};

INSTANTIATE_TEST_SUITE_P(
    Labels, TimecodeTest,
    testing::Values(TimecodeCase{"None", nullptr, 0, {1, 30}, 0, ""},
                    TimecodeCase{"OneHourPal", "01:00:00:00", 25, {1, 25}, 90000, ""},
                    TimecodeCase{"TenHours", "10:00:00:00", 25, {1, 25}, 900000, ""},
                    TimecodeCase{"RateUnknownTakesPicture", "00:00:01:05", 0, {1, 30}, 35, ""},
                    TimecodeCase{"NonDropAtNtsc", "00:01:00:00", 30, ntsc, 1800, ""},
                    TimecodeCase{"DropOneSecond", "00:00:01;00", 30, ntsc, 30, ""},
                    TimecodeCase{"DropFirstLabelOfMinute", "00:01:00;02", 30, ntsc, 1800, ""},
                    TimecodeCase{"DropTenthMinuteKeepsLabels", "00:10:00;00", 30, ntsc, 17982, ""},
                    TimecodeCase{"DropOneHour", "01:00:00;00", 30, ntsc, 107892, ""},
                    TimecodeCase{"DropAtSixty", "00:01:00;04", 60, ntscSixty, 3600, ""},
                    TimecodeCase{"AllSemicolons", "00;00;01;00", 30, ntsc, 30, ""},
                    TimecodeCase{"Empty", "", 30, {1, 30}, 0, unreadableTimecode},
                    TimecodeCase{"Words", "one hour", 30, {1, 30}, 0, unreadableTimecode},
                    TimecodeCase{"ThreeFields", "01:00:00", 30, {1, 30}, 0, unreadableTimecode},
                    TimecodeCase{"Negative", "-00:00:01:00", 30, {1, 30}, 0, unreadableTimecode},
                    TimecodeCase{"TrailingSeparator", "01:00:00:", 30, {1, 30}, 0, unreadableTimecode},
                    TimecodeCase{"Hours24", "24:00:00:00", 30, {1, 30}, 0, invalidTimecode},
                    TimecodeCase{"Minutes60", "00:60:00:00", 30, {1, 30}, 0, invalidTimecode},
                    TimecodeCase{"FrameAtRate", "00:00:00:25", 25, {1, 25}, 0, invalidTimecode},
                    TimecodeCase{"SkippedDropLabel", "00:01:00;01", 30, ntsc, 0, invalidTimecode},
                    TimecodeCase{"DropAtPal", "00:00:01;00", 25, {1, 25}, 0, unsupportedTimecode},
                    TimecodeCase{"DropAtWholeThirty", "00:00:01;00", 30, {1, 30}, 0, unsupportedTimecode},
                    TimecodeCase{"CountedAtOtherRate", "01:00:00:00", 25, {1, 30}, 0, unsupportedTimecode}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- whole frames

struct WholeFramesCase {
    MediaTime duration;
    MediaTime frame;
    std::int64_t frames;
};

class WholeFramesTest : public testing::TestWithParam<WholeFramesCase> { };

TEST_P(WholeFramesTest, CutsTowardZeroWithSlackForRoundedDurations)
{
    EXPECT_EQ(wholeFrames(GetParam().duration, GetParam().frame), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(Durations, WholeFramesTest,
                         testing::Values(WholeFramesCase{{1000000, 1000000}, {1, 30}, 30},
                                         WholeFramesCase{{1001000, 1000000}, {1001, 30000}, 30},
                                         WholeFramesCase{{966666, 1000000}, {1, 30}, 29},
                                         WholeFramesCase{{1021333, 1000000}, {1, 30}, 30},
                                         WholeFramesCase{{33333, 1000000}, {1, 30}, 1},
                                         WholeFramesCase{{30000, 1000000}, {1, 30}, 0},
                                         WholeFramesCase{{0, 1}, {1, 30}, 0}, WholeFramesCase{{5, 0}, {1, 30}, 0},
                                         WholeFramesCase{{864000LL * 1000000, 1000000}, {1001, 60000}, 51788211}));

// ---- XML text and file URLs

struct TextCase {
    const char* name;
    std::string input;
    std::string expected;
};

class XmlSafeTextTest : public testing::TestWithParam<TextCase> { };

TEST_P(XmlSafeTextTest, KeepsOnlyWhatXmlCanCarry)
{
    const std::string cleaned = xmlSafeText(GetParam().input);
    EXPECT_EQ(cleaned, GetParam().expected);
    // Whatever came in, the result must go through a parser as an attribute.
    pugi::xml_document document;
    document.append_child("a").append_attribute("v") = cleaned.c_str();
    std::ostringstream out;
    document.save(out);
    pugi::xml_document back;
    ASSERT_TRUE(back.load_string(out.str().c_str()));
    EXPECT_EQ(std::string(back.child("a").attribute("v").value()), cleaned);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, XmlSafeTextTest,
    testing::Values(TextCase{"Plain", "Goal 1", "Goal 1"}, TextCase{"Japanese", "前半 ゴール", "前半 ゴール"},
                    TextCase{"ControlsDropped",
                             std::string("A\x01"
                                         "B\x1F"
                                         "C\x0B\x0C",
                                         7),
                             "ABC"},
                    TextCase{"NulDropped", std::string("a\0b", 3), "ab"},
                    TextCase{"WhiteSpaceKept", "a\tb\nc\rd", "a\tb\nc\rd"},
                    TextCase{"DeleteKept",
                             "a\x7F"
                             "b",
                             "a\x7F"
                             "b"},
                    TextCase{"NonCharactersDropped",
                             "a\xEF\xBF\xBE\xEF\xBF\xBF"
                             "b",
                             "ab"},
                    TextCase{"EmojiKept", "\xF0\x9F\x8E\xAF", "\xF0\x9F\x8E\xAF"},
                    TextCase{"StrayByteReplaced",
                             "a\xFF"
                             "b",
                             "a\xEF\xBF\xBD"
                             "b"},
                    TextCase{"CutSequenceReplaced", "a\xE8\xA9", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
                    TextCase{"OverlongReplaced", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    TextCase{"SurrogateReplaced", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileUrlTest, PercentEncodesEveryByteButUnreservedAndSlash)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/tmp/clip.mp4", "file:///tmp/clip.mp4"},
        {"/tmp/a b.mp4", "file:///tmp/a%20b.mp4"},
        {"/tmp/試合.mp4", "file:///tmp/%E8%A9%A6%E5%90%88.mp4"},
        {"/tmp/100%#?&.mov", "file:///tmp/100%25%23%3F%26.mov"},
        {"/tmp/x/../y~_-.mp4", "file:///tmp/y~_-.mp4"},
    };
    for (const auto& [path, url] : cases) EXPECT_EQ(fileURL(path), url) << path;
    EXPECT_EQ(fileURL("relative.mp4"), fileURL(fs::current_path() / "relative.mp4"));
}

// ---- the clip exporter on real movies

class MediaExporterXMLTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new test::TempDir("zanto-xml-movies-");
        test::TestMovieOptions thirty;
        thirty.picture = test::TestPicture::Solid;
        test::makeTestMovie(movie(), thirty);
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }

    static fs::path movie() { return folder_->path() / "match.mp4"; }

    static ExportRequest requestFor(const fs::path& file, std::vector<Clip> clips, std::string mode = "fcpxml")
    {
        const MediaAsset asset = MediaAsset::load(file);
        return ExportRequest{"job",
                             std::move(mode),
                             "Game 1",
                             {file.filename().string(), std::int64_t(fs::file_size(file)), asset.duration.seconds()},
                             std::move(clips)};
    }

    static fs::path exportOne(const ExportRequest& request, const fs::path& file, const fs::path& directory)
    {
        MediaExporter job;
        const std::vector<fs::path> written = job.run(request, file, directory, nullptr);
        EXPECT_EQ(written.size(), 1u);
        return written.empty() ? fs::path() : written.front();
    }

    static test::TempDir* folder_;
    test::TempDir output_{"zanto-xml-out-"};
};

test::TempDir* MediaExporterXMLTest::folder_ = nullptr;

struct CheckCase {
    const char* name;
    std::function<void(ExportRequest&, fs::path& file, MediaExporter& job, const fs::path& folder)> change;
    const char* message;
};

class MediaExporterChecksTest : public MediaExporterXMLTest, public testing::WithParamInterface<CheckCase> { };

TEST_P(MediaExporterChecksTest, RefusesBeforeWritingAnything)
{
    const CheckCase& c = GetParam();
    ExportRequest request = requestFor(movie(), {Clip{0.2, 0.8, "a", "", {}}});
    fs::path file = movie();
    MediaExporter job;
    c.change(request, file, job, folder_->path());
    EXPECT_EQ(messageOf([&] { job.run(request, file, output_.path(), nullptr); }), c.message);
    EXPECT_TRUE(fs::is_empty(output_.path()));
}

void writeText(const fs::path& path, std::size_t bytes)
{
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

const double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Order, MediaExporterChecksTest,
    testing::Values(CheckCase{"UnknownMode", [](auto& r, auto&, auto&, auto&) { r.mode = "mp3"; },
                              "1〜1000件のクリップを選択してください。"},
                    CheckCase{"NoClips", [](auto& r, auto&, auto&, auto&) { r.clips.clear(); },
                              "1〜1000件のクリップを選択してください。"},
                    CheckCase{"TooManyClipsBeforeIdentity",
                              [](auto& r, auto&, auto&, auto&) {
                                  r.clips.assign(1001, r.clips[0]);
                                  r.source.size = 1;
                              },
                              "1〜1000件のクリップを選択してください。"},
                    CheckCase{"OtherName", [](auto& r, auto&, auto&, auto&) { r.source.name = "Match.mp4"; },
                              "元動画のファイル名・サイズが一致しません。分析に使用した動画を選んでください。"},
                    CheckCase{"OtherSize", [](auto& r, auto&, auto&, auto&) { r.source.size += 1; },
                              "元動画のファイル名・サイズが一致しません。分析に使用した動画を選んでください。"},
                    CheckCase{"NotAMovie",
                              [](auto& r, fs::path& file, auto&, const fs::path& folder) {
                                  file = folder / "notes.mp4";
                                  writeText(file, 100);
                                  r.source = {"notes.mp4", 100, 1.0};
                              },
                              "この動画を読み込めません。Macで再生できるMP4またはMOVを選んでください。"},
                    CheckCase{"DurationOff", [](auto& r, auto&, auto&, auto&) { r.source.duration += 0.25; },
                              "動画の長さが分析データと一致しません。元動画を再読み込みしてください。"},
                    CheckCase{"EndPastMovie", [](auto& r, auto&, auto&, auto&) { r.clips[0].end = 1.03; },
                              "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。"},
                    CheckCase{"NegativeStart", [](auto& r, auto&, auto&, auto&) { r.clips[0].start = -0.1; },
                              "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。"},
                    CheckCase{"EmptyRange", [](auto& r, auto&, auto&, auto&) { r.clips[0].end = r.clips[0].start; },
                              "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。"},
                    CheckCase{"NotANumber",
                              [](auto& r, auto&, auto&, auto&) {
                                  r.clips.push_back({nan, 0.5, "b", "", {}});
                              },
                              "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。"},
                    CheckCase{"RangeBeforeCancel",
                              [](auto& r, auto&, MediaExporter& job, auto&) {
                                  r.clips[0].end = 2;
                                  job.cancel();
                              },
                              "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。"},
                    CheckCase{"Cancelled", [](auto&, auto&, MediaExporter& job, auto&) { job.cancel(); },
                              "書き出しを中止しました。完了済みのファイルは保存先に残しています。"},
                    CheckCase{"MovieModeRefusedAfterChecks", [](auto& r, auto&, auto&, auto&) { r.mode = "combined"; },
                              "この画面からのMP4書き出しには対応していません。Final Cut Pro用XMLを選んでください。"},
                    CheckCase{"ClipUnderHalfAFrame",
                              [](auto& r, auto&, auto&, auto&) {
                                  r.clips[0] = {0.5, 0.51, "a", "", {}};
                              },
                              "動画が短すぎます。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MediaExporterXMLTest, AcceptsClipsEndingWithinTheToleranceAndSnapsThemToTheLastFrame)
{
    // 1000 clips pass the count check; the last ends 0.02 s past the movie.
    std::vector<Clip> clips(999, Clip{0, 0.5, "a", "", {}});
    clips.push_back(Clip{0.5, 1.02, "end", "", {}});
    const ExportRequest request = requestFor(movie(), clips);
    pugi::xml_document document;
    test::loadXml(document, exportOne(request, movie(), output_.path()));
    const pugi::xml_node last = document.select_node("//spine/asset-clip[last()]").node();
    EXPECT_STREQ(last.attribute("start").value(), "15/30s");
    EXPECT_STREQ(last.attribute("duration").value(), "15/30s");
    EXPECT_STREQ(last.attribute("offset").value(), "14985/30s");
}

TEST_F(MediaExporterXMLTest, WritesTheOneClipLayout)
{
    const ExportRequest request =
        requestFor(movie(), {Clip{0.1, 0.5, "Goal", "left foot", {"Attack", "Set"}}, Clip{0.5, 0.9, "Save", "", {}}});
    std::vector<std::pair<double, std::string>> reports;
    MediaExporter job;
    const std::vector<fs::path> written =
        job.run(request, movie(), output_.path(), [&](double f, const std::string& t) { reports.emplace_back(f, t); });
    ASSERT_EQ(written, std::vector<fs::path>{output_.path() / "Game 1.fcpxml"});
    EXPECT_EQ(reports, (std::vector<std::pair<double, std::string>>{{1.0, "Final Cut Pro用XMLを保存しました"}}));
    EXPECT_TRUE(test::validatesAgainstDtd(written[0]));

    std::ifstream in(written[0]);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE fcpxml>\n<fcpxml version=\"1.10\">", 0),
              0u);

    pugi::xml_document document;
    test::loadXml(document, written[0]);
    const pugi::xml_node resources = document.child("fcpxml").first_child();
    ASSERT_STREQ(resources.name(), "resources");
    EXPECT_EQ(std::distance(resources.begin(), resources.end()), 2);
    const pugi::xml_node format = resources.first_child();
    EXPECT_STREQ(format.name(), "format");
    EXPECT_EQ(test::attributeNames(format), "id,frameDuration,width,height");
    EXPECT_STREQ(format.attribute("frameDuration").value(), "1/30s");
    EXPECT_STREQ(format.attribute("width").value(), "160");
    const pugi::xml_node asset = format.next_sibling();
    EXPECT_EQ(test::attributeNames(asset),
              "id,name,start,duration,hasVideo,format,hasAudio,audioSources,audioChannels,audioRate");
    EXPECT_STREQ(asset.attribute("duration").value(), "30/30s");
    EXPECT_STREQ(asset.attribute("audioRate").value(), "48000");
    EXPECT_STREQ(asset.attribute("audioChannels").value(), "2");
    EXPECT_EQ(asset.child("media-rep").attribute("src").value(), fileURL(movie()));

    const pugi::xml_node event = document.select_node("/fcpxml/library/event").node();
    EXPECT_STREQ(event.attribute("name").value(), "Game 1 — ZANTORIX");
    EXPECT_STREQ(event.first_child().name(), "asset-clip");
    EXPECT_EQ(document.select_nodes("/fcpxml/library/event/asset-clip/keyword").size(), 2u);
    EXPECT_STREQ(event.child("project").attribute("name").value(), "Game 1 — 選択クリップ");
    const pugi::xml_node sequence = event.child("project").child("sequence");
    EXPECT_EQ(test::attributeNames(sequence), "format,duration,tcStart,tcFormat");
    EXPECT_STREQ(sequence.attribute("duration").value(), "24/30s");

    const pugi::xpath_node_set clips = document.select_nodes("/fcpxml/library/event/project/sequence/spine/asset-clip");
    ASSERT_EQ(clips.size(), 2u);
    const pugi::xml_node goal = clips[0].node();
    EXPECT_EQ(test::attributeNames(goal), "ref,name,offset,start,duration,format");
    EXPECT_STREQ(goal.attribute("offset").value(), "0/30s");
    EXPECT_STREQ(goal.attribute("start").value(), "3/30s");
    EXPECT_STREQ(goal.attribute("duration").value(), "12/30s");
    EXPECT_STREQ(goal.child_value("note"), "left foot");
    EXPECT_STREQ(goal.child("marker").attribute("value").value(), "Goal");
    EXPECT_STREQ(goal.child("marker").attribute("note").value(), "left foot / Attack / Set");
    EXPECT_STREQ(clips[1].node().attribute("offset").value(), "12/30s");
}

TEST_F(MediaExporterXMLTest, DropsControlCharactersFromEveryText)
{
    ExportRequest request = requestFor(movie(), {Clip{0,
                                                      0.5,
                                                      "Go\x01"
                                                      "al",
                                                      "no\x1Fte\r\nline\t.",
                                                      {"a\x02"}}});
    request.title = "Ga\x03me";
    const fs::path file = exportOne(request, movie(), output_.path());
    EXPECT_EQ(file.filename(), "Ga_me.fcpxml");
    EXPECT_TRUE(test::validatesAgainstDtd(file));
    pugi::xml_document document;
    test::loadXml(document, file);
    const pugi::xml_node clip = document.select_node("//spine/asset-clip").node();
    EXPECT_STREQ(clip.attribute("name").value(), "Goal");
    // Element text keeps its line breaks as every XML reader sees them (CR LF
    // read as LF); attributes carry CR escaped.
    EXPECT_STREQ(clip.child_value("note"), "note\nline\t.");
    EXPECT_STREQ(clip.child("marker").attribute("note").value(), "note\r\nline\t. / a");
    EXPECT_STREQ(document.select_node("//event").node().attribute("name").value(), "Game — ZANTORIX");
}

// Markup characters in user text are escaped, never interpreted: every text
// reads back exactly as given and the document stays valid.
struct MarkupCase {
    const char* name;
    std::string text;
};

class MediaExporterMarkupTest : public MediaExporterXMLTest, public testing::WithParamInterface<MarkupCase> { };

TEST_P(MediaExporterMarkupTest, EveryTextReadsBackAsGiven)
{
    const std::string& text = GetParam().text;
    ExportRequest request = requestFor(movie(), {Clip{0, 0.5, text, text, {text}}});
    request.title = text;
    const fs::path file = exportOne(request, movie(), output_.path());
    EXPECT_TRUE(test::validatesAgainstDtd(file));
    pugi::xml_document document;
    test::loadXml(document, file);
    const pugi::xml_node clip = document.select_node("//spine/asset-clip").node();
    EXPECT_EQ(clip.attribute("name").value(), text);
    EXPECT_EQ(clip.child_value("note"), text);
    EXPECT_EQ(clip.child("marker").attribute("value").value(), text);
    EXPECT_EQ(clip.child("marker").attribute("note").value(), text + " / " + text);
    EXPECT_EQ(document.select_node("//event/asset-clip/keyword").node().attribute("value").value(), text);
    EXPECT_EQ(document.select_node("//event").node().attribute("name").value(), text + " — ZANTORIX");
    EXPECT_EQ(document.select_node("//project").node().attribute("name").value(), text + " — 選択クリップ");
}

INSTANTIATE_TEST_SUITE_P(Texts, MediaExporterMarkupTest,
                         testing::Values(MarkupCase{"Ampersand", "A&B"}, MarkupCase{"Tags", "<goal/>"},
                                         MarkupCase{"Quotes", "\"it's\""}, MarkupCase{"SectionEnd", "x]]>y"},
                                         MarkupCase{"EntityLookalikes", "&amp; &#1; &lt;"},
                                         MarkupCase{"Comment", "<!-- a -->"},
                                         MarkupCase{"TabAndLineFeed", "one\ttwo\nthree"},
                                         MarkupCase{"Blanks", "  spaced  "}, MarkupCase{"Empty", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MediaExporterXMLTest, ReplacesAnEarlierFileAndReportsAWriteFailure)
{
    const ExportRequest request = requestFor(movie(), {Clip{0, 0.5, "a", "", {}}});
    std::ofstream(output_ / "Game 1.fcpxml") << "old";
    const fs::path file = exportOne(request, movie(), output_.path());
    EXPECT_GT(fs::file_size(file), 100u);
    MediaExporter job;
    EXPECT_THROW(job.run(request, movie(), output_ / "missing", nullptr), std::system_error);
    EXPECT_EQ(std::distance(fs::directory_iterator(output_.path()), fs::directory_iterator()), 1);
}

// ---- the layout over movies of several kinds

struct MovieCase {
    const char* name;
    const char* file;
    test::TestMovieOptions options;
    std::string frameDuration;
    std::string assetStart;
    std::string width;
    std::string height;
    bool audio;
};

test::TestMovieOptions movieOptions(int rate, int base, bool audio, std::string timecode = "", int rotation = 0)
{
    test::TestMovieOptions options;
    options.picture = test::TestPicture::Solid;
    options.frameRate = rate;
    options.frameRateBase = base;
    options.audio = audio;
    options.timecode = std::move(timecode);
    options.rotationDegrees = rotation;
    options.width = 96;
    options.height = 54;
    return options;
}

class MediaExporterMoviesTest : public testing::TestWithParam<MovieCase> { };

TEST_P(MediaExporterMoviesTest, WritesAValidDocumentForEachKindOfMovie)
{
    const MovieCase& c = GetParam();
    test::TempDir folder("zanto-xml-kind-");
    // Made under a plain name and then renamed, so that any bytes reach the file system.
    const fs::path file = folder / c.file;
    fs::rename(test::makeTestMovie(folder / fs::path("made").replace_extension(file.extension()), c.options), file);
    const MediaAsset asset = MediaAsset::load(file);
    const ExportRequest request{"id",
                                "fcpxml",
                                "試合",
                                {c.file, std::int64_t(fs::file_size(file)), asset.duration.seconds()},
                                {Clip{0.2, 0.6, "a", "", {}}}};
    MediaExporter job;
    const fs::path written = job.run(request, file, folder.path(), nullptr).at(0);
    EXPECT_EQ(written.filename(), "試合.fcpxml");
    EXPECT_TRUE(test::validatesAgainstDtd(written));
    pugi::xml_document document;
    test::loadXml(document, written);
    const pugi::xml_node format = document.select_node("/fcpxml/resources/format").node();
    const pugi::xml_node assetNode = document.select_node("/fcpxml/resources/asset").node();
    EXPECT_EQ(format.attribute("frameDuration").value(), c.frameDuration);
    EXPECT_EQ(format.attribute("width").value(), c.width);
    EXPECT_EQ(format.attribute("height").value(), c.height);
    EXPECT_EQ(assetNode.attribute("start").value(), c.assetStart);
    EXPECT_EQ(bool(assetNode.attribute("hasAudio")), c.audio);
    EXPECT_EQ(assetNode.child("media-rep").attribute("src").value(), fileURL(file));
    // Every clip lies inside the asset: start + duration <= asset start + asset duration.
    const pugi::xml_node clip = document.select_node("//spine/asset-clip").node();
    const auto seconds = [](const char* time) {
        long long value = 0, scale = 1;
        std::sscanf(time, "%lld/%llds", &value, &scale);
        return double(value) / double(scale);
    };
    EXPECT_LE(seconds(clip.attribute("start").value()) + seconds(clip.attribute("duration").value()),
              seconds(assetNode.attribute("start").value()) + seconds(assetNode.attribute("duration").value()) + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MediaExporterMoviesTest,
    testing::Values(
        MovieCase{"Thirty", "thirty.mp4", movieOptions(30, 1, true), "1/30s", "0/30s", "96", "54", true},
        MovieCase{"NtscSilent", "ntsc.mp4", movieOptions(30000, 1001, false), "1001/30000s", "0/30000s", "96", "54",
                  false},
        MovieCase{"NtscSixty", "sixty.mp4", movieOptions(60000, 1001, true), "1001/60000s", "0/60000s", "96", "54",
                  true},
        MovieCase{"PalTimecode", "pal.mov", movieOptions(25, 1, true, "10:00:00:00"), "1/25s", "900000/25s", "96", "54",
                  true},
        MovieCase{"DropFrameTimecode", "試合 カメラ1.mp4", movieOptions(30000, 1001, true, "01:00:00;02"),
                  "1001/30000s", "108001894/30000s", "96", "54", true},
        MovieCase{"Upright", "phone.mp4", movieOptions(30, 1, false, "", 90), "1/30s", "0/30s", "54", "96", false},
        // A name in a legacy 8-bit encoding: the asset's name gets U+FFFD, the URL keeps the bytes.
        MovieCase{"NameNotUtf8", "caf\xE9.mp4", movieOptions(30, 1, false), "1/30s", "0/30s", "96", "54", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MediaExporterRefusalTest, VariableFrameRateMovieNamesTheRate)
{
    test::TempDir folder("zanto-xml-vfr-");
    test::TestMovieOptions options;
    options.picture = test::TestPicture::Solid;
    options.variableFrameRate = true;
    options.audio = false;
    const fs::path file = test::makeTestMovie(folder / "vfr.mp4", options);
    const MediaAsset asset = MediaAsset::load(file);
    const ExportRequest request{"id",
                                "fcpxml",
                                "t",
                                {"vfr.mp4", std::int64_t(fs::file_size(file)), asset.duration.seconds()},
                                {Clip{0, 0.5, "a", "", {}}}};
    MediaExporter job;
    EXPECT_EQ(messageOf([&] { job.run(request, file, folder.path(), nullptr); }), rateMessage);
    EXPECT_FALSE(fs::exists(folder / "t.fcpxml"));
}

} // namespace
} // namespace zanto
