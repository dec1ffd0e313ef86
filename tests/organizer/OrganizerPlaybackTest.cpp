#include "OrganizerTestSupport.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerRangeBar.h"
#include "platform/media/Player.h"
#include "support/PictureFrameCode.h"
#include "support/RecordedMovies.h"
#include "support/TableNames.h"
#include "support/TestMedia.h"
#include "support/EventLoopWait.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QElapsedTimer>

#include <sys/stat.h>

#include <fstream>
#include <set>
#include <thread>

namespace zanto {
namespace {

using test::waitFor;

const QString finished = "連続再生が完了しました。";

// The frame code of the picture the player shows, -1 for none.
int frameOnShow(const Player& player)
{
    return test::pictureFrameCode(player.latestFrame());
}

// Over a 2-s clip of frame codes at 30 fps: row 0 holds a video item V from
// 0.5 to 0.8 s, a disabled one D and a title T; row 1 a freeze F and an image I.
class OrganizerPlayback : public test::OrganizerFixture {
protected:
    static void SetUpTestSuite()
    {
        media = new test::TempDir;
        test::makeTestMovie(*media / "clip.mp4", {.durationSeconds = 2.0, .audio = false});
        test::makeTestImage(*media / "picture.png", 64, 36);
    }
    static void TearDownTestSuite() { delete media; }

    void SetUp() override
    {
        OrganizerFixture::SetUp();
        ASSERT_TRUE(openWith((*media / "clip.mp4").string()));
    }

    bool openWith(const std::string& path, double offset = 0, double end = 0.8)
    {
        OrganizerItem disabled = item("D", "video");
        disabled.enabled = false;
        OrganizerDocument document;
        document.sources = {OrganizerSource{.id = "S", .name = "cam", .path = path, .offset = offset}};
        document.rows = {
            OrganizerRow{.name = "one", .items = {item("V", "video", 0.5, end), disabled, item("T", "title")}},
            OrganizerRow{.name = "two", .items = {item("F", "freeze"), item("I", "image")}}};
        return organizer->openDocument(document);
    }

    static OrganizerItem item(const char* id, const std::string& kind, double start = 0, double end = 0.15)
    {
        OrganizerItem item{
            .id = id, .kind = kind, .name = id, .start = start, .end = end, .sourceIDs = {"S"}, .sourceID = "S"};
        if (kind == "freeze") item.freezeTime = 0.5;
        if (kind == "image") item.imagePath = (*media / "picture.png").string();
        return item;
    }

    std::vector<std::string> queued() const
    {
        std::vector<std::string> ids;
        for (const OrganizerItem& each : organizer->playback().queue()) ids.push_back(each.id);
        return ids;
    }
    OrganizerOverlay& overlay() const { return *test::control<OrganizerOverlay>(*organizer, "overlay"); }
    const QImage& image() const { return test::control<OrganizerImageView>(*organizer, "image")->image(); }

    static test::TempDir* media;
};

test::TempDir* OrganizerPlayback::media = nullptr;

struct QueueCase {
    const char* name;
    OrganizerCommand command;
    std::set<int> selection;
    std::vector<std::string> ids;
};

class OrganizerPlaybackQueue : public OrganizerPlayback, public ::testing::WithParamInterface<QueueCase> { };

TEST_P(OrganizerPlaybackQueue, SkipsDisabledItems)
{
    organizer->table.selectRowIndexes(GetParam().selection, false);
    ASSERT_TRUE(organizer->perform(GetParam().command));
    EXPECT_EQ(queued(), GetParam().ids);
    test::expectConsistent(*organizer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerPlaybackQueue,
    ::testing::Values(QueueCase{"Row", OrganizerCommand::playRow, {}, {"V", "T"}},
                      QueueCase{"All", OrganizerCommand::playAll, {}, {"V", "T", "F", "I"}},
                      QueueCase{"SelectionInOrder", OrganizerCommand::togglePlayback, {2, 0, 1}, {"V", "T"}},
                      QueueCase{"DisabledSelection", OrganizerCommand::togglePlayback, {1}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerPlayback, TheQueueEndsOrLoops)
{
    for (const bool loop : {false, true}) {
        test::control<QCheckBox>(*organizer, "loopButton")->setChecked(loop);
        organizer->begin({item("A", "title"), item("B", "title")});
        ASSERT_TRUE(waitFor([&] { return organizer->statusText().startsWith("2/2 B"); }));
        if (loop) {
            EXPECT_TRUE(waitFor([&] { return organizer->statusText().startsWith("1/2 A"); }))
                << "the first follows the last";
            continue;
        }
        ASSERT_TRUE(waitFor([&] { return organizer->statusText() == finished; }));
        EXPECT_EQ(organizer->playback().playing(), 1);
        EXPECT_EQ(organizer->playback().queue().size(), 2u);
        ASSERT_NE(organizer->playback().itemOnShow(), nullptr);
        EXPECT_EQ(organizer->playback().itemOnShow()->id, "B") << "the queue ends on the item that was on show";
        EXPECT_FALSE(organizer->stillRunning());
    }
}

TEST_F(OrganizerPlayback, AVideoItemOpensOnItsInPointAndItsEndMovesOn)
{
    organizer->selectTimeline(0, 0);
    organizer->begin({item("V", "video", 0.5, 0.8)}); // superseded at once: must never start
    organizer->selectTimeline(0, 0);
    test::expectConsistent(*organizer);
    const Player& player = *organizer->player();
    ASSERT_TRUE(waitFor([&] { return frameOnShow(player) == 15; }));
    EXPECT_EQ(player.rate(), 0) << "a stale seek completion started the player";
    EXPECT_TRUE(overlay().editing()) << "an item opened paused is editable";
    const auto* bar = test::control<OrganizerRangeBar>(*organizer, "rangeBar");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_NEAR(bar->upper(), player.currentItem()->durationSeconds(), 1e-9) << "configured again from the file";
    // Marks are placed over the overlay's rectangle: the picture must fill the same one.
    const QWidget* surface = test::control<QWidget>(*organizer, "videoSurface");
    EXPECT_EQ(QRect(surface->mapToGlobal(QPoint()), surface->size()),
              QRect(overlay().mapToGlobal(QPoint()), overlay().size()));

    organizer->begin({item("V", "video", 0.5, 0.8), item("T", "title", 0, 5)});
    ASSERT_TRUE(waitFor([&] { return organizer->playback().playing() == 1; }));
    EXPECT_EQ(organizer->player()->currentItem(), nullptr);
    EXPECT_FALSE(bar->isVisible());
}

// A video item that may or may not play, by its range and its source.
struct VideoCase {
    const char* name;
    double startOffset; // the source's offset
    double pastEnd;     // how far the item's end lies past the file's end
    const char* path;   // "" = the clip; else a name in the media folder
    QString message;    // "" = it plays
};

class OrganizerPlaybackVideo : public OrganizerPlayback, public ::testing::WithParamInterface<VideoCase> { };

TEST_P(OrganizerPlaybackVideo, PlaysOrSaysWhy)
{
    const VideoCase& c = GetParam();
    const std::string clip = (*media / "clip.mp4").string();
    const double duration = Player::open(clip)->durationSeconds();
    std::string path = *c.path ? (*media / c.path).string() : clip;
    if (std::string(c.path) == "fifo") mkfifo(path.c_str(), 0600);
    ASSERT_TRUE(openWith(path, c.startOffset, duration - c.startOffset + c.pastEnd));
    organizer->playRow();
    if (c.message.isEmpty()) {
        EXPECT_NE(organizer->player()->currentItem(), nullptr) << organizer->statusText().toStdString();
        EXPECT_EQ(organizer->statusText(), "1/2 V — ");
    } else {
        EXPECT_EQ(organizer->statusText(), c.message);
        EXPECT_TRUE(organizer->playback().queue().empty());
    }
    test::expectConsistent(*organizer);
}

const QString outside = "映像の範囲外です。区間または補正秒を確認してください。";
INSTANTIATE_TEST_SUITE_P(Cases, OrganizerPlaybackVideo,
                         ::testing::Values(VideoCase{"EndWithinTolerance", 0, 0.02, "", ""},
                                           VideoCase{"EndPastTolerance", 0, 0.021, "", outside},
                                           VideoCase{"StartBeforeTheFile", -0.6, 0, "", outside},
                                           VideoCase{"MissingFile", 0, 0, "gone.mp4", "映像を再接続してください：V"},
                                           VideoCase{"Pipe", 0, 0, "fifo", "映像を再接続してください：V"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerPlayback, OffsetAndRelinkKeepTheItemPlayingAtItsTime)
{
    const QString clip = QString::fromStdString((*media / "clip.mp4").string());
    ASSERT_TRUE(openWith(clip.toStdString(), 0, 1.9));
    organizer->selectTimeline(0, 0);
    organizer->togglePlayback();
    const Player& player = *organizer->player();
    const PlayerItemRef opened = player.currentItem();
    ASSERT_NE(opened, nullptr);
    ASSERT_TRUE(waitFor([&] { return player.currentTime() > 0.6; }));
    const auto press = [&](const char* button) {
        const double before = player.currentTime();
        test::control<QPushButton>(*organizer, button)->click();
        test::expectConsistent(*organizer);
        EXPECT_EQ(player.currentItem(), opened) << button << " reopened the item";
        EXPECT_NE(player.rate(), 0) << button << " paused the item";
        EXPECT_TRUE(waitFor([&] { return player.currentTime() > before + 0.1; })) << button << ": the time stood still";
    };
    auto* offset = test::control<QLineEdit>(*organizer, "offsetField");
    offset->selectAll();
    QTest::keyClicks(offset, "1");
    press("applyOffset");
    EXPECT_EQ(organizer->playlist().sources[0].offset, 1);
    dialogs().files.push_back({clip});
    press("relink");
    EXPECT_TRUE(organizer->statusText().startsWith("再接続しました。"));
}

TEST_F(OrganizerPlayback, SpaceOnATitleReplaysTheSelection)
{
    organizer->selectTimeline(0, 2);
    EXPECT_FALSE(organizer->stillRunning());
    ASSERT_TRUE(organizer->perform(OrganizerCommand::togglePlayback));
    EXPECT_EQ(queued(), std::vector<std::string>{"T"});
    EXPECT_TRUE(organizer->stillRunning());
}

TEST_F(OrganizerPlayback, AFreezeThatRanItsLengthResumesOnSpace)
{
    organizer->begin({item("F", "freeze")});
    EXPECT_TRUE(organizer->playback().freezeStarted().has_value());
    EXPECT_FALSE(image().isNull());
    ASSERT_TRUE(waitFor([&] { return organizer->statusText() == finished; }));
    EXPECT_FALSE(organizer->stillRunning());
    EXPECT_FALSE(organizer->playback().freezeStarted().has_value()) << "a freeze that ended the queue no longer runs";
    organizer->togglePlayback();
    EXPECT_TRUE(organizer->stillRunning()) << "Space resumes rather than pausing a finished still";
    EXPECT_TRUE(organizer->playback().freezeStarted().has_value());
    organizer->togglePlayback();
    EXPECT_FALSE(organizer->stillRunning());
    EXPECT_TRUE(overlay().editing());
}

TEST_F(OrganizerPlayback, NoStillOutlivesItsItem)
{
    OrganizerItem lost = item("L", "freeze");
    lost.sourceID = "gone";
    organizer->begin({item("I", "image"), lost, item("T", "title")}, false);
    EXPECT_EQ(image().size(), QSize(64, 36));
    EXPECT_EQ(overlay().background().size(), QSize(64, 36)) << "the picture keys the drawing tools";
    organizer->playback().showAt(1, false);
    EXPECT_EQ(organizer->statusText(), "静止画の元映像が見つかりません。");
    EXPECT_TRUE(image().isNull());
    EXPECT_TRUE(overlay().background().isNull());
    EXPECT_EQ(organizer->playback().queue().size(), 3u);
    organizer->begin({item("F", "freeze"), item("T", "title")}, false);
    ASSERT_FALSE(overlay().background().isNull());
    organizer->playback().showAt(1, false);
    EXPECT_TRUE(overlay().background().isNull());
}

TEST_F(OrganizerPlayback, StepsThroughTheRowWhenOneItemIsOpen)
{
    organizer->table.deselectAll();
    using C = OrganizerCommand;
    for (const auto& [command, line] :
         {std::pair{C::previousClip, 0}, {C::nextClip, 1}, {C::nextClip, 2}, {C::nextClip, 2}, {C::previousClip, 1}}) {
        ASSERT_TRUE(organizer->perform(command));
        EXPECT_EQ(organizer->table.selectedRow(), line) << OrganizerActions::row(command).name;
        EXPECT_EQ(queued(), std::vector<std::string>{organizer->selectedItem()->id});
        EXPECT_FALSE(organizer->stillRunning()) << "opened paused";
        test::expectConsistent(*organizer);
    }
}

// Movies whose data stops short of what their index says: one cut with its
// index first (it opens, and its pictures run out half way), one cut with
// its index last (it does not open); and one whose pictures are overwritten.
TEST_F(OrganizerPlayback, AMovieCutShortOrDamagedIsNamedAndPlayGoesOn)
{
    const auto whole = *media / "clip.mp4";
    for (const char* index : {"+faststart", "-faststart", "damaged"}) {
        const auto cut = *media / (std::string("cut") + index + ".mp4");
        const bool damaged = std::string(index) == "damaged";
        test::runTool("ffmpeg", {"-v", "error", "-y", "-i", whole.string(), "-c", "copy", "-movflags",
                                 damaged ? "+faststart" : index, cut.string()});
        const auto size = std::filesystem::file_size(cut);
        if (damaged) {
            std::fstream bytes(cut, std::ios::in | std::ios::out | std::ios::binary);
            bytes.seekp(std::streamoff(size / 5));
            for (auto at = size / 5; at < size; ++at) bytes.put(char(at * 7919 % 251));
        } else {
            std::filesystem::resize_file(cut, size / 2);
        }
        ASSERT_TRUE(openWith(cut.string(), 0, 1.9));
        // The title stays long enough for the line to be read under load.
        organizer->begin({item("V", "video", 0, 1.9), item("T", "title", 0, 30)});
        const QString named = "「" + QString::fromStdString(cut.filename().string()) + "」を読み込めません。";
        EXPECT_TRUE(waitFor([&] { return organizer->statusText() == named; }, 8000))
            << index << ": " << organizer->statusText().toStdString();
        EXPECT_EQ(queued(), (std::vector<std::string>{"V", "T"})) << index;
        EXPECT_EQ(organizer->playback().playing(), 1) << index << ": play went on to the next item";
        test::expectConsistent(*organizer);
    }
}

// 10 s of red, then 30 s of blue, key frames 250 frames apart; the item is
// 20-26 s: any red picture is one from outside it (the file's first frames).
TEST_F(OrganizerPlayback, OpeningAnItemShowsOnlyPicturesOfIt)
{
    const auto path = *media / "redThenBlue.mp4";
    const std::string graph = "color=red:s=320x180:r=30:d=10[r];color=blue:s=320x180:r=30:d=30[b];[r][b]concat";
    test::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", graph, "-g", "250", path.string()});
    ASSERT_TRUE(openWith(path.string(), 19.5, 6.5));
    Player& player = *organizer->player();
    int red = 0, blue = 0;
    player.setFrameHandler([&] {
        const QImage frame = player.latestFrame();
        if (frame.isNull()) return;
        const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
        (centre.red() > 128 ? red : blue) += 1;
    });
    for (int press = 0; press < 4; ++press) {
        const int shown = blue;
        if (press % 2)
            organizer->playRow();
        else
            organizer->selectTimeline(0, 0);
        // A window busy painting: mpv goes on loading meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(waitFor([&] { return blue > shown; })) << press;
    }
    EXPECT_EQ(red, 0) << "pictures from outside the item were on show";
}

// The position slider dragged away and back to the in point while the
// pressed item still loads: the picture stands at the in point.
TEST_F(OrganizerPlayback, DraggingBackToTheInPointDuringTheLoadStaysThere)
{
    ASSERT_TRUE(openWith((*media / "clip.mp4").string(), 0, 1.9));
    auto* slider = test::control<QSlider>(*organizer, "videoPosition");
    organizer->selectTimeline(0, 0);
    slider->setSliderDown(true);
    slider->setValue(500);
    slider->setValue(0);
    slider->setSliderDown(false);
    EXPECT_TRUE(waitFor([&] { return frameOnShow(*organizer->player()) == 15; }));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(frameOnShow(*organizer->player()), 15);
    EXPECT_NEAR(organizer->player()->currentTime(), 0.5, 1.0 / 60);
}

// Damaged movies of every kind a user meets: its index first and its data
// cut before the item; cut with its index lost; random bytes; empty; a
// Matroska movie cut with its index (kept at its end) lost, before the item
// or inside it; an AVI cut the same way, which FFmpeg takes for a shorter
// movie; a file with nothing to play (lyrics FFmpeg reads as subtitles); one
// that is gone.
class OrganizerPlaybackDamaged : public OrganizerPlayback {
protected:
    static std::filesystem::path damaged(const std::string& kind)
    {
        const auto path = *media / (kind + (kind.starts_with("matroska") ? ".mkv" : kind == "avi" ? ".avi" : ".mp4"));
        if (std::filesystem::exists(path) || kind == "missing") return path;
        if (kind == "random") {
            std::ofstream bytes(path, std::ios::binary);
            for (int at = 0; at < 40000; ++at) bytes.put(char(at * 7919 % 251));
        } else if (kind == "empty") {
            std::ofstream{path};
        } else if (kind == "lyrics") {
            std::ofstream(path) << "[ti:row]\n[00:01.00]first line\n[00:02.50]second line\n";
        } else {
            const char* layout = kind == "indexFirst" ? "+faststart" : "-faststart";
            test::runTool("ffmpeg", {"-v", "error", "-y", "-i", (*media / "clip.mp4").string(), "-c", "copy",
                                     "-movflags", layout, path.string()});
            const double kept = kind == "matroskaInside" ? 0.75 : 0.4;
            std::filesystem::resize_file(path, uintmax_t(double(std::filesystem::file_size(path)) * kept));
        }
        return path;
    }

    // A row of items of `kinds` ("intact" or a damaged kind), each from its own
    // source, each at 1.3-1.9 s: after the data of the cut movies.
    bool openRow(const std::vector<std::string>& kinds)
    {
        std::vector<Stretch> stretches;
        for (const std::string& kind : kinds)
            stretches.push_back({kind, kind == "intact" ? *media / "clip.mp4" : damaged(kind), 1.3, 1.9});
        return openStretches(stretches);
    }

    struct Stretch {
        std::string name;
        std::filesystem::path path;
        double start, end;
    };
    bool openStretches(const std::vector<Stretch>& stretches)
    {
        OrganizerDocument document;
        OrganizerRow row{.name = "row"};
        for (size_t at = 0; at < stretches.size(); ++at) {
            const std::string id = "S" + std::to_string(at);
            document.sources.push_back(OrganizerSource{.id = id, .name = id, .path = stretches[at].path.string()});
            OrganizerItem video = item(stretches[at].name.c_str(), "video", stretches[at].start, stretches[at].end);
            video.id = "I" + std::to_string(at);
            video.sourceIDs = {id};
            video.sourceID = id;
            row.items.push_back(video);
        }
        document.rows = {row};
        return organizer->openDocument(document);
    }

    // Plays the row, reading each line of the status line until `last`.
    std::vector<QString> linesPlayingUntil(const QString& last, int ms = 10000)
    {
        std::vector<QString> lines;
        organizer->playRow();
        const auto read = [&] {
            if (lines.empty() || lines.back() != organizer->statusText()) lines.push_back(organizer->statusText());
            return lines.back() == last;
        };
        EXPECT_TRUE(waitFor(read, ms)) << lines.back().toStdString();
        return lines;
    }
};

const QString unreadable = "「indexFirst.mp4」、「indexLost.mp4」、「random.mp4」、「empty.mp4」を読み込めません。";

// A run that ends in a movie that is gone: the run is named once, and the
// stop says why after it.
TEST_F(OrganizerPlaybackDamaged, EveryContainerAndARunEndingInAStopAreNamedOnce)
{
    ASSERT_TRUE(openRow({"intact", "matroska", "lyrics", "indexFirst", "avi", "empty", "missing", "intact"}));
    const QString last =
        "「matroska.mkv」、「lyrics.mp4」、「indexFirst.mp4」、「avi.avi」、「empty.mp4」を読み込めません。 "
        "映像を再接続してください：missing";
    EXPECT_EQ(linesPlayingUntil(last), (std::vector<QString>{"1/8 intact — ", last}));
}

// Cut inside the item, the Matroska movie plays what it holds of it, then
// is named as cut short.
TEST_F(OrganizerPlaybackDamaged, AMatroskaMovieCutInsideTheItemIsNamed)
{
    ASSERT_TRUE(openRow({"matroskaInside", "intact"}));
    EXPECT_EQ(linesPlayingUntil(finished),
              (std::vector<QString>{"1/2 matroskaInside — ", "「matroskaInside.mkv」を読み込めません。", finished}));
}

TEST_F(OrganizerPlaybackDamaged, EveryDamagedMovieIsNamedTogetherAndPlayGoesOn)
{
    ASSERT_TRUE(openRow({"intact", "indexFirst", "indexLost", "random", "empty", "intact"}));
    EXPECT_EQ(linesPlayingUntil(finished), (std::vector<QString>{"1/6 intact — ", unreadable, finished}));
}

// Good movies of every container and clock, each from its start (in the
// sound before the pictures where it leads them), mid-file and for 10 ms
// inside its last frame, the sound that outlasts the pictures, and a movie
// of sound alone right after a damaged run: only the damaged run is named,
// and the row plays through.
TEST_F(OrganizerPlaybackDamaged, ARowOfGoodMoviesOfEveryContainerPlaysThrough)
{
    std::vector<Stretch> stretches;
    for (const std::string& kind : test::recordedMovieKinds()) {
        const test::RecordedMovie movie = test::makeRecordedMovie(media->path(), kind);
        stretches.push_back({kind + " start", movie.path, 0, 0.4});
        stretches.push_back({kind, movie.path, 1.0, 1.4});
        stretches.push_back({kind + " last frame", movie.path, 2.98, 2.99});
        if (kind.ends_with("long sound")) stretches.push_back({"sound", movie.path, 3.3, 3.6});
    }
    stretches.push_back({"random", damaged("random"), 1.3, 1.9});
    stretches.push_back({"empty", damaged("empty"), 1.3, 1.9});
    stretches.push_back({"sound alone", test::makeTestMovie(*media / "sound.m4a", {.video = false}), 0.2, 0.6});
    ASSERT_TRUE(openStretches(stretches));
    for (const QString& line : linesPlayingUntil(finished, 60000))
        EXPECT_TRUE(!line.contains("読み込めません") || line == "「random.mp4」、「empty.mp4」を読み込めません。")
            << line.toStdString();
}

TEST_F(OrganizerPlaybackDamaged, ARowOfOnlyDamagedMoviesEndsOnTheirNames)
{
    for (const bool loop : {false, true}) {
        test::control<QCheckBox>(*organizer, "loopButton")->setChecked(loop);
        ASSERT_TRUE(openRow({"indexFirst", "indexLost", "random", "empty"}));
        organizer->playRow();
        EXPECT_TRUE(waitFor([&] { return organizer->statusText() == unreadable; }))
            << organizer->statusText().toStdString();
        EXPECT_FALSE(waitFor([&] { return organizer->statusText() != unreadable; }, 500))
            << organizer->statusText().toStdString();
        EXPECT_EQ(organizer->playback().queue().empty(), loop) << "a loop of damaged movies stops";
        test::expectConsistent(*organizer);
    }
}

// One item over a whole intact movie, opened paused: the position slider
// dragged to its end (the movie's), then back inside the item, and Space.
// The item plays from there to its end; the row is never told finished
// before that, nor the movie unreadable.
class OrganizerPlaybackSeekBack : public OrganizerPlaybackDamaged, public ::testing::WithParamInterface<std::string> {
protected:
    // The slider pressed, moved from `from` to `to` as a hand drags it (a
    // step each frame of the screen), and let go.
    void drag(int from, int to)
    {
        auto* slider = test::control<QSlider>(*organizer, "videoPosition");
        slider->setSliderDown(true);
        constexpr int steps = 12;
        for (int step = 1; step <= steps; ++step) {
            slider->setValue(from + (to - from) * step / steps);
            waitFor([] { return false; }, 16);
        }
        slider->setSliderDown(false);
    }
};

TEST_P(OrganizerPlaybackSeekBack, SpaceAfterTheEndAndBackPlaysTheRest)
{
    const test::RecordedMovie movie = test::makeRecordedMovie(media->path(), GetParam());
    const PlayerItemRef probed = Player::open(movie.path);
    const double duration = probed->durationSeconds();
    const int last = int(std::lround(movie.pictureSeconds * 30)) - 1, back = 60;
    ASSERT_TRUE(openStretches({{"whole", movie.path, 0, duration}}));
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        organizer->selectTimeline(0, 0);
        const Player& player = *organizer->player();
        ASSERT_TRUE(waitFor([&] { return frameOnShow(player) == 0; }, 10000));
        drag(0, 1000);
        // The hand turns back at once, or rests at the end a moment.
        waitFor([] { return false; }, round % 2 ? 200 : 0);
        const int backValue = int(std::lround((back + 0.5) / 30 / duration * 1000));
        drag(1000, backValue);
        waitFor([] { return false; }, 150); // and on to Space
        const QString playing = organizer->statusText();
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_Space);
        std::vector<QString> lines{playing};
        ASSERT_TRUE(waitFor(
            [&] {
                if (lines.back() != organizer->statusText()) lines.push_back(organizer->statusText());
                return lines.back() != playing;
            },
            20000));
        EXPECT_EQ(lines, (std::vector<QString>{playing, finished}));
        EXPECT_GE(clock.elapsed(), (duration - (back + 1.0) / 30) * 1000 - 100) << "finished before it played";
        EXPECT_EQ(frameOnShow(player), last);
        test::expectConsistent(*organizer);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OrganizerPlaybackSeekBack, ::testing::Values("MP4", "MPEG-TS"),
                         [](const auto& info) { return test::caseName(info.param); });

TEST_F(OrganizerPlayback, ALoopOfMoviesThatCannotBeReadStops)
{
    test::control<QCheckBox>(*organizer, "loopButton")->setChecked(true);
    std::ofstream(*media / "notes.mp4") << "not a movie";
    ASSERT_TRUE(openWith((*media / "notes.mp4").string()));
    organizer->begin({item("V", "video", 0.5, 0.8), item("V", "video", 0.5, 0.8)});
    EXPECT_EQ(organizer->statusText(), "「notes.mp4」を読み込めません。");
    EXPECT_TRUE(organizer->playback().queue().empty()) << "play stops rather than going round for ever";
    test::expectConsistent(*organizer);
}

} // namespace
} // namespace zanto
