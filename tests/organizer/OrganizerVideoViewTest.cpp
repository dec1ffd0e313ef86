#include "organizer/OrganizerStill.h"
#include "organizer/OrganizerVideoView.h"
#include "platform/media/MediaError.h"
#include "platform/media/Player.h"
#include "services/ExportFailure.h"
#include "support/PictureFrameCode.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"
#include "support/EventLoopWait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zanto;
using namespace zanto::test;

namespace {

// The platform given (xcb under Xvfb draws through OpenGL), else offscreen,
// which has no GL context and draws in software.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "video-view-tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qApp) new QApplication(argc, argv);
}

// The frame code inside `area` of a picture.
int codeIn(const QImage& picture, const QRect& area)
{
    return pictureFrameCode(picture.copy(area));
}

TEST(PlayerVideoViewTest, ShowsTheFrameFittedWithNamedControls)
{
    ensureApplication();
    TempDir dir;
    const auto clip = makeTestMovie(dir / "code.mp4", {.durationSeconds = 1.0, .audio = false});
    auto player = std::make_shared<Player>(PlayerOptions{.audioOutput = "null", .hardwareDecoding = false});
    OrganizerVideoView view(player);
    view.resize(400, 330);
    view.show();
    player->replaceCurrentItem(Player::open(clip));
    view.setRange(0.2, 0.8);
    bool done = false;
    player->seek(MediaTime{10, 30}, [&](bool) { done = true; });
    ASSERT_TRUE(waitFor([&] { return done; }));

    QWidget* surface = view.surface();
    // 16:9 fitted into the surface, centred between black bars.
    const QSize shown = QSize(160, 90).scaled(surface->size(), Qt::KeepAspectRatio);
    const QRect fitted(QPoint((surface->width() - shown.width()) / 2, (surface->height() - shown.height()) / 2), shown);
    ASSERT_TRUE(waitFor([&] { return codeIn(surface->grab().toImage(), fitted.adjusted(1, 1, -1, -1)) == 10; }));
    ASSERT_GE(fitted.top(), 2);
    EXPECT_EQ(qGray(surface->grab().toImage().pixel(fitted.center().x(), fitted.top() - 2)), 0) << "bars are black";

    auto* toggle = view.findChild<QAbstractButton*>("videoFullScreen");
    toggle->click();
    ASSERT_TRUE(view.isShowingFullScreen());
    EXPECT_NE(surface->window(), view.window()) << "full screen shows the picture alone";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(surface->window(), &escape);
    EXPECT_TRUE(waitFor([&] { return !view.isShowingFullScreen(); })) << "Escape returns";
    toggle->click();
    auto* back = surface->window()->findChild<QAbstractButton*>("videoFullScreenReturn");
    EXPECT_EQ(back->text(), QStringLiteral("全画面を終了")) << "the way back says what it does";
    back->click();
    EXPECT_FALSE(view.isShowingFullScreen()) << "so does the toggle";
    EXPECT_EQ(surface->parentWidget(), &view);
    EXPECT_TRUE(waitFor([&] { return codeIn(surface->grab().toImage(), fitted.adjusted(1, 1, -1, -1)) == 10; }))
        << "the picture survives the trip";

    auto* play = view.findChild<QAbstractButton*>("videoPlayPause");
    ASSERT_TRUE(play && view.findChild<QSlider*>("videoPosition") && view.findChild<QLabel*>("videoElapsed"));
    play->click();
    EXPECT_GT(player->rate(), 0);
    play->click();
    EXPECT_EQ(player->rate(), 0);
}

TEST(PlayerVideoViewTest, AViewHoldingThePlayersLastReferenceGoesCleanly)
{
    // Under a display with GL (xcb) the surface uses the player while it goes.
    ensureApplication();
    auto view = std::make_unique<OrganizerVideoView>(std::make_shared<Player>(PlayerOptions{.audioOutput = "null"}));
    view->show();
    QCoreApplication::processEvents();
    view.reset();
}

TEST(PlayerStillTest, FreezeCutsTheSourceFrameAtTheFreezeTimePlusOffset)
{
    TempDir dir;
    const auto clip = makeTestMovie(dir / "code.mp4", {.durationSeconds = 1.0, .audio = false});
    const OrganizerSource source{.id = "s", .path = clip.string(), .offset = 0.2};
    OrganizerItem item;
    item.sourceID = "s";
    item.freezeTime = 0.1;
    const QImage still = freezeImage(item, OrganizerDocument{.sources = {source}});
    EXPECT_EQ(codeIn(still, still.rect()), 9);

    ASSERT_EQ(mkfifo((dir / "pipe.mp4").c_str(), 0600), 0);
    EXPECT_THROW(freezeImage(item, OrganizerDocument{.sources = {{.id = "s", .path = (dir / "pipe.mp4").string()}}}),
                 MediaError)
        << "refused without waiting for a writer";
    item.freezeTime.reset();
    EXPECT_THROW(freezeImage(item, OrganizerDocument{.sources = {source}}), ExportFailure);
}

TEST(PlayerStillTest, AMovieReplacedAtTheSamePathGivesItsOwnStill)
{
    TempDir dir;
    const auto clip = makeTestMovie(dir / "code.mp4", {.durationSeconds = 1.0, .audio = false});
    const OrganizerSource source{.id = "s", .path = clip.string()};
    OrganizerItem item;
    item.sourceID = "s";
    item.freezeTime = 0.5;
    ASSERT_EQ(codeIn(freezeImage(item, OrganizerDocument{.sources = {source}}), QRect(0, 0, 160, 90)), 15);
    makeTestMovie(clip, {.frameRate = 10, .durationSeconds = 1.0, .audio = false});
    EXPECT_EQ(codeIn(freezeImage(item, OrganizerDocument{.sources = {source}}), QRect(0, 0, 160, 90)), 5)
        << "not the still of the old movie";
}

} // namespace
