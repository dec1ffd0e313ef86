// A save, an export and play in a process that reaches its limit of threads.
#include "OrganizerTestSupport.h"

#include "platform/BackgroundThreads.h"
#include "platform/media/Player.h"

#include "support/PlaylistSamples.h"
#include "support/RefusedThreads.h"
#include "support/EventLoopWait.h"
#include "support/TestMedia.h"

#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

namespace zanto {
namespace {

namespace fs = std::filesystem;

struct RefusedJob {
    const char* name;
    OrganizerCommand command;
    std::string file; // chosen in the save panel
    QString done;     // how the status line starts once it is written
};

void PrintTo(const RefusedJob& job, std::ostream* out)
{
    *out << job.name;
}

// An edited playlist of one clip, the first half second of a real movie.
class OrganizerThreadStart : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        OrganizerDocument document;
        document.sources = {test::sampleSource("S1")};
        document.sources[0].path = test::makeTestMovie(folder / "game.mp4", {.durationSeconds = 2}).string();
        document.rows[0].items = {test::sampleItem("A")};
        document.rows[0].items[0].start = 0;
        document.rows[0].items[0].end = 0.5;
        ASSERT_TRUE(organizer->openDocument(document));
        test::change(*organizer, [](OrganizerDocument& d) { d.title = "edited"; });
    }
};

class OrganizerJobThreadStart : public OrganizerThreadStart, public ::testing::WithParamInterface<RefusedJob> {
protected:
    // Runs the command into `destination` with the `refused`th thread start
    // refused (0: none) and waits for its end.
    void run(const fs::path& destination, int refused)
    {
        dialogs().saves = {OrganizerSaveAnswer{QString::fromStdString(destination.string()), false}};
        test::refuseThreadStart(refused);
        ASSERT_TRUE(organizer->perform(GetParam().command));
        while (organizer->busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_FALSE(test::control<QProgressBar>(*organizer, "progress")->isVisible());
        test::expectConsistent(*organizer);
    }
};

// The runner's thread refused: the user reads which file was not saved and
// why, nothing is written or lost, and the same command then works.
TEST_P(OrganizerJobThreadStart, EndsAsAFailedSaveAndTheNextOneWorks)
{
    const fs::path destination = folder / GetParam().file;
    const std::string recovery = test::readFile(organizer->recovery());
    run(destination, 1);
    ASSERT_GE(test::threadStarts(), 1) << "std::thread does not reach this pthread_create";
    EXPECT_EQ(organizer->statusText().toStdString(),
              "「" + GetParam().file + "」を保存できません。（Resource temporarily unavailable）");
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_TRUE(organizer->changed());
    EXPECT_EQ(test::readFile(organizer->recovery()), recovery);
    run(destination, 0);
    EXPECT_TRUE(organizer->statusText().startsWith(GetParam().done)) << organizer->statusText().toStdString();
    EXPECT_TRUE(fs::exists(destination));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerJobThreadStart,
    ::testing::Values(RefusedJob{"PackageSave", OrganizerCommand::saveDocument, "list.zantoplaylist", "保存しました："},
                      RefusedJob{"MP4Export", OrganizerCommand::exportAll, "out.mp4", "MP4を保存しました："}),
    [](const auto& info) { return std::string(info.param.name); });

// Play at L and J when backward play's worker gets no thread. Forward play
// goes on without it, J pauses on the picture on show, and once threads come
// again J plays backwards.
TEST_F(OrganizerThreadStart, PlayGoesOnAndJPausesWithoutTheBackwardWorker)
{
    test::change(*organizer, [](OrganizerDocument& d) { d.rows[0].items[0].end = 2; });
    organizer->selectTimeline(0, 0);
    Player& player = *organizer->player();
    ASSERT_TRUE(test::waitFor([&] { return !player.latestFrame().isNull(); }));
    // The first background work in a process starts the threads' joiner as
    // well; it runs from here on, so that the start refused below is the
    // worker's, whatever ran before in this process.
    BackgroundThreads::start([](std::stop_token) {});
    const auto key = [&](Qt::Key key) { QTest::keyClick(organizer->window()->windowHandle(), key); };
    player.seek(MediaTime::fromSeconds(0.1, 600));
    test::refuseThreadStart(1);
    key(Qt::Key_L);
    EXPECT_EQ(player.rate(), 1);
    EXPECT_TRUE(test::waitFor([&] { return player.currentTime() > 0.25; }));
    test::refuseThreadStart(1);
    key(Qt::Key_J);
    EXPECT_EQ(test::threadStarts(), 1);
    EXPECT_EQ(player.rate(), 0);
    EXPECT_FALSE(player.latestFrame().isNull());

    test::refuseThreadStart(0);
    const double from = player.currentTime();
    key(Qt::Key_J);
    EXPECT_LT(player.rate(), 0);
    EXPECT_TRUE(test::waitFor([&] { return player.currentTime() < from - 0.05; }));
}

} // namespace
} // namespace zanto
