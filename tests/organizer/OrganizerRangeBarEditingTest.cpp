#include "OrganizerTestSupport.h"

#include "organizer/OrganizerRangeBar.h"
#include "platform/media/MediaTime.h"
#include "platform/media/Player.h"
#include "support/TestMedia.h"
#include "support/EventLoopWait.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace zanto {
namespace {

using test::waitFor;

// A 2-s clip; row 0 holds the video item V from 0.5 to 1 s, open and selected.
class OrganizerRangeBarEditing : public test::OrganizerFixture {
protected:
    static void SetUpTestSuite()
    {
        media = new test::TempDir;
        test::makeTestMovie(*media / "clip.mp4", {.durationSeconds = 2.0, .audio = false});
    }
    static void TearDownTestSuite() { delete media; }

    void SetUp() override
    {
        OrganizerFixture::SetUp();
        OrganizerDocument document;
        document.sources = {OrganizerSource{.id = "S", .name = "cam", .path = (*media / "clip.mp4").string()}};
        document.rows[0].items = {
            OrganizerItem{.id = "V", .name = "V", .start = 0.5, .end = 1, .sourceIDs = {"S"}, .sourceID = "S"},
            OrganizerItem{.id = "T", .kind = "title", .name = "T", .start = 0, .end = 2}};
        ASSERT_TRUE(organizer->openDocument(document));
        organizer->selectTimeline(0, 0);
        bar = test::control<OrganizerRangeBar>(*organizer, "rangeBar");
        ASSERT_TRUE(waitFor([&] { return bar->isVisible() && organizer->player()->currentItem(); }));
    }

    void mouse(QEvent::Type type, double x)
    {
        const QPointF at(x, 20);
        QMouseEvent event(type, at, bar->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        QApplication::sendEvent(bar, &event);
    }
    void seekTo(double seconds)
    {
        bool done = false;
        organizer->player()->seek(MediaTime::fromSeconds(seconds, 60000), [&](bool) { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
    }
    const OrganizerItem& item() const { return organizer->playlist().rows[0].items[0]; }

    static test::TempDir* media;
    OrganizerRangeBar* bar = nullptr;
};

test::TempDir* OrganizerRangeBarEditing::media = nullptr;

TEST_F(OrganizerRangeBarEditing, AHandleIsGrabbedStrictlyWithinNinePoints)
{
    mouse(QEvent::MouseButtonPress, bar->x(0.5) + 9);
    EXPECT_EQ(bar->edge, 0) << "9 points off seeks";
    mouse(QEvent::MouseButtonRelease, bar->x(0.5) + 9);
    mouse(QEvent::MouseButtonPress, bar->x(0.5) + 8.9);
    EXPECT_EQ(bar->edge, -1);
    mouse(QEvent::MouseMove, bar->x(2));
    ASSERT_TRUE(bar->preview());
    EXPECT_DOUBLE_EQ(bar->preview()->first, 1 - 0.04) << "the in point stops short of the out point";
    mouse(QEvent::MouseMove, bar->x(0.25));
    mouse(QEvent::MouseButtonRelease, bar->x(0.25));
    test::expectConsistent(*organizer);
    EXPECT_NEAR(item().start, 0.25, 1e-9);
    EXPECT_EQ(item().end, 1);
}

TEST_F(OrganizerRangeBarEditing, AChangeDuringADragCommitsNothing)
{
    test::change(
        *organizer, [](OrganizerDocument& d) { d.title = "edited"; }, 0);
    organizer->selectTimeline(0, 0);
    ASSERT_TRUE(waitFor([&] { return organizer->player()->currentItem() != nullptr; }));
    mouse(QEvent::MouseButtonPress, bar->x(1));
    ASSERT_EQ(bar->edge, 1);
    mouse(QEvent::MouseMove, bar->x(1.5));
    organizer->undoOrganizer();
    const OrganizerDocument undone = organizer->playlist();
    mouse(QEvent::MouseButtonRelease, bar->x(1.5));
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), undone);
}

TEST_F(OrganizerRangeBarEditing, MarksTrimAtThePlayersPositionOrSayWhy)
{
    seekTo(0.75);
    QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_I);
    test::expectConsistent(*organizer);
    EXPECT_NEAR(item().start, 0.75, 1.0 / 30) << "the frame on show at 0.75 s";
    ASSERT_TRUE(waitFor([&] { return organizer->player()->currentItem() != nullptr; }));
    seekTo(0.6);
    organizer->perform(OrganizerCommand::markOut);
    EXPECT_EQ(organizer->statusText(), "区間の内側に再生位置を移動してください。");
    EXPECT_NEAR(item().end, 1, 1e-9);
}

TEST_F(OrganizerRangeBarEditing, ShuttleKeysDoubleUpToEight)
{
    // A long item opened in its middle: at eight times speed either way the
    // keys must not meet its ends (which pause the player) however slowly
    // they arrive.
    const auto path = *media / "long.mp4";
    if (!std::filesystem::exists(path)) test::makeTestMovie(path, {.durationSeconds = 60.0, .audio = false});
    OrganizerDocument document = organizer->playlist();
    document.sources[0].path = path.string();
    document.rows[0].items[0].start = 0;
    document.rows[0].items[0].end = 60;
    ASSERT_TRUE(organizer->openDocument(document));
    organizer->selectTimeline(0, 0);
    ASSERT_TRUE(waitFor([&] { return organizer->player()->currentItem() != nullptr; }));
    seekTo(30);
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(organizer->window()->windowHandle(), key);
        return organizer->player()->rate();
    };
    std::vector<double> rates;
    for (Qt::Key key : {Qt::Key_L, Qt::Key_L, Qt::Key_L, Qt::Key_L, Qt::Key_L, Qt::Key_J, Qt::Key_J, Qt::Key_K,
                        Qt::Key_J, Qt::Key_J, Qt::Key_J, Qt::Key_J, Qt::Key_J, Qt::Key_L}) {
        rates.push_back(press(key));
    }
    EXPECT_EQ(rates, (std::vector<double>{1, 2, 4, 8, 8, -1, -2, 0, -1, -2, -4, -8, -8, 1}));
}

} // namespace
} // namespace zanto
