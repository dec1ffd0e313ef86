#include "OrganizerTestSupport.h"

#include "marks/GXLSettings.h"
#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerSplit.h"
#include "support/PlaylistSamples.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <array>
#include <functional>

#include <unistd.h>

namespace zanto {
namespace {

using test::makeOrganizer;
using test::readFile;
using test::TempDir;
using test::writeFile;

const char* const newTitle = "ZANTORIX / 新しいプレイリスト — ORGANIZER";

std::string nested(int depth)
{
    return std::string(static_cast<size_t>(depth), '[') + std::string(static_cast<size_t>(depth), ']');
}

TEST(OrganizerWindow, StartsWithANewPlaylistWithoutRecoveryFile)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    EXPECT_EQ(organizer->window()->windowTitle().toStdString(), newTitle);
    ASSERT_EQ(organizer->playlist().rows.size(), 1u);
    EXPECT_EQ(organizer->playlist().rows[0].name, "レビュー");
    EXPECT_EQ(organizer->historyState(), organizer->playlist());
    EXPECT_TRUE(organizer->undoStates().empty());
    EXPECT_TRUE(organizer->redoStates().empty());
    EXPECT_FALSE(organizer->changed());
    EXPECT_FALSE(organizer->busy());
    EXPECT_EQ(organizer->statusText(), "行を作り、メイン画面の「選択タグを追加」から映像を集めてください。");
    EXPECT_TRUE(organizer->window()->isVisible());
    EXPECT_TRUE(test::control<QWidget>(*organizer, "infoPanel")->isVisible());
    EXPECT_FALSE(test::control<QWidget>(*organizer, "playbackPanel")->isVisible());
    EXPECT_TRUE(test::control<QWidget>(*organizer, "drawingPanel")->isHidden());
    EXPECT_FALSE(test::control<OrganizerRangeBar>(*organizer, "rangeBar")->isVisible());
    EXPECT_FALSE(test::control<OrganizerImageView>(*organizer, "image")->isVisible());
    EXPECT_FALSE(test::control<QLabel>(*organizer, "titleView")->isVisible());
    EXPECT_FALSE(test::control<QProgressBar>(*organizer, "progress")->isVisible());
    // Nothing is written before the first edit.
    EXPECT_FALSE(std::filesystem::exists(organizer->recovery()));
    EXPECT_EQ(organizer->recovery(), folder.path() / "organizer-recovery.json");
}

// A recovery file that cannot be loaded.
struct RejectedRecovery {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
};

class OrganizerRejectedRecovery : public ::testing::TestWithParam<RejectedRecovery> { };

TEST_P(OrganizerRejectedRecovery, StartsNewAndKeepsTheOldFileAside)
{
    TempDir folder;
    const std::filesystem::path recovery = folder.path() / "organizer-recovery.json";
    GetParam().make(recovery);
    const bool wasFile = std::filesystem::is_regular_file(recovery);
    const std::string before = wasFile ? readFile(recovery) : std::string();

    auto organizer = makeOrganizer(folder.path());
    EXPECT_EQ(organizer->window()->windowTitle().toStdString(), newTitle);
    EXPECT_EQ(organizer->playlist().rows.size(), 1u);
    EXPECT_EQ(organizer->statusText(), "行を作り、メイン画面の「選択タグを追加」から映像を集めてください。");
    ASSERT_TRUE(organizer->setAsideRecovery().has_value());
    const std::filesystem::path aside = *organizer->setAsideRecovery();
    EXPECT_EQ(aside.parent_path(), folder.path());
    EXPECT_NE(aside, recovery);

    // The next edit writes a fresh recovery file and leaves the old one alone.
    test::change(*organizer, [](OrganizerDocument& d) { d.title = "after"; });
    test::expectConsistent(*organizer);
    EXPECT_EQ(readFile(recovery), organizer->playlist().toJson());
    if (wasFile)
        EXPECT_EQ(readFile(aside), before);
    else
        EXPECT_TRUE(std::filesystem::exists(aside));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerRejectedRecovery,
    ::testing::Values(
        RejectedRecovery{"WrongFormat",
                         [](const auto& path) {
                             OrganizerDocument document = test::sampleDocument();
                             document.format = "zantorix-project";
                             writeFile(path, document.toJson());
                         }},
        RejectedRecovery{"EndNotAfterStart",
                         [](const auto& path) {
                             OrganizerDocument document = test::sampleDocument();
                             document.rows[0].items[0].end = document.rows[0].items[0].start;
                             writeFile(path, document.toJson());
                         }},
        RejectedRecovery{"Truncated",
                         [](const auto& path) {
                             const std::string bytes = test::sampleDocument().toJson();
                             writeFile(path, bytes.substr(0, bytes.size() / 2));
                         }},
        RejectedRecovery{"NotJson", [](const auto& path) { writeFile(path, "not a playlist"); }},
        RejectedRecovery{"Empty", [](const auto& path) { writeFile(path, ""); }},
        RejectedRecovery{"NestedTooDeeply", [](const auto& path) { writeFile(path, nested(100000)); }},
        RejectedRecovery{
            "MissingKey",
            [](const auto& path) {
                writeFile(path, R"({"format":"zantorix-playlist","version":1,"title":"x","sources":[],"rows":[]})");
            }},
        RejectedRecovery{"Unreadable", [](const auto& path) { std::filesystem::create_directories(path / "inside"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrganizerWindow, OpensTheRecoveryFileOfAPreviousRun)
{
    TempDir folder;
    OrganizerDocument saved = test::sampleDocument();
    saved.title = "Match";
    writeFile(folder / "organizer-recovery.json", saved.toJson());

    auto organizer = makeOrganizer(folder.path());
    EXPECT_EQ(organizer->playlist(), saved);
    EXPECT_EQ(organizer->historyState(), saved);
    EXPECT_TRUE(organizer->undoStates().empty());
    EXPECT_TRUE(organizer->changed()) << "work saved nowhere else is not replaced without a question";
    EXPECT_FALSE(organizer->setAsideRecovery().has_value());
    EXPECT_EQ(organizer->window()->windowTitle().toStdString(), "ZANTORIX / Match — ORGANIZER");
    EXPECT_EQ(readFile(folder / "organizer-recovery.json"), saved.toJson());
}

TEST(OrganizerWindow, DefaultRecoveryFolderIsInTheUsersDataFolder)
{
    test::testApplication();
    Organizer organizer;
    const std::filesystem::path data = qEnvironmentVariable("XDG_DATA_HOME").toStdString();
    EXPECT_EQ(organizer.recovery(), data / "ZANTORIX" / "organizer-recovery.json");
    EXPECT_TRUE(std::filesystem::is_directory(data / "ZANTORIX"));
}

TEST(OrganizerWindow, AGivenRecoveryFolderIsUsedUnchanged)
{
    test::testApplication();
    TempDir home;
    TempDir folder;
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.path().c_str());
    {
        Organizer organizer(folder / "nested" / "deeper");
        organizer.persist();
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / "nested" / "deeper" / "organizer-recovery.json"));
    }
    qputenv("XDG_DATA_HOME", before);
    EXPECT_TRUE(std::filesystem::is_empty(home.path())) << "nothing is made in the user's data folder";
}

TEST(OrganizerWindow, FolderThatCannotBeCreatedReportsOnEveryWrite)
{
    TempDir folder;
    writeFile(folder / "blocker", "a file where the folder should be");
    auto organizer = makeOrganizer(folder / "blocker" / "ZANTORIX");
    EXPECT_EQ(organizer->playlist().rows.size(), 1u);

    test::change(*organizer, [](OrganizerDocument& d) { d.title = "edited"; });
    EXPECT_TRUE(organizer->statusText().startsWith("自動復旧データの保存に失敗："));
    EXPECT_GT(organizer->statusText().size(), QString("自動復旧データの保存に失敗：").size());
    EXPECT_EQ(organizer->undoStates().size(), 1u);
    EXPECT_TRUE(organizer->changed());

    organizer->message("");
    organizer->undoOrganizer();
    EXPECT_FALSE(organizer->statusText().isEmpty());
    EXPECT_FALSE(organizer->statusText().startsWith("自動復旧データの保存に失敗："));
}

TEST(OrganizerWindow, UnreadableFolderStartsNewAndLeavesTheFileAlone)
{
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir folder;
    const std::string saved = test::sampleDocument().toJson();
    writeFile(folder / "organizer-recovery.json", saved);
    std::filesystem::permissions(folder.path(), std::filesystem::perms::none);
    auto organizer = makeOrganizer(folder.path());
    EXPECT_EQ(organizer->playlist().rows.size(), 1u);
    organizer->persist();
    test::expectConsistent(*organizer);
    EXPECT_TRUE(organizer->statusText().startsWith("自動復旧データの保存に失敗："));
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(readFile(folder / "organizer-recovery.json"), saved);
}

TEST(OrganizerWindow, CloseHidesAndKeepsEverything)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    test::change(*organizer, [](OrganizerDocument& d) { d.title = "kept"; });
    test::expectConsistent(*organizer);
    const int generation = organizer->playback().generation();

    EXPECT_FALSE(organizer->window()->close());
    EXPECT_FALSE(organizer->window()->isVisible());
    EXPECT_GT(organizer->playback().generation(), generation);
    EXPECT_EQ(organizer->playlist().title, "kept");
    EXPECT_EQ(organizer->undoStates().size(), 1u);

    organizer->window()->show();
    EXPECT_TRUE(organizer->window()->isVisible());
    EXPECT_EQ(organizer->playlist().title, "kept");
}

TEST(OrganizerWindow, CloseIsRefusedWhileBusy)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    test::BusyHold busy(*organizer);
    EXPECT_FALSE(organizer->window()->close());
    EXPECT_TRUE(organizer->window()->isVisible());
    EXPECT_EQ(organizer->statusText(), "保存・書き出しの完了を待ってください。");
}

TEST(OrganizerWindow, StatusLineShowsOneLineAndTheWholeTextInItsToolTip)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    const QString text = QString("長いメッセージ ").repeated(60);
    organizer->message(text);
    EXPECT_EQ(organizer->statusText(), text);
    EXPECT_EQ(test::control<QLabel>(*organizer, "status")->toolTip(), text);
    EXPECT_FALSE(test::control<QLabel>(*organizer, "status")->wordWrap());
    EXPECT_LE(organizer->window()->width(), 1300);

    const int oneLine = test::control<QLabel>(*organizer, "status")->sizeHint().height();
    organizer->message("一行目\n二行目\n三行目");
    EXPECT_EQ(organizer->statusText(), "一行目\n二行目\n三行目");
    EXPECT_EQ(test::control<QLabel>(*organizer, "status")->toolTip(), "一行目\n二行目\n三行目");
    EXPECT_EQ(test::control<QLabel>(*organizer, "status")->sizeHint().height(), oneLine);
    organizer->message("Windows の改行\r\n古い改行\r終わり");
    EXPECT_EQ(test::control<QLabel>(*organizer, "status")->text(), "Windows の改行 古い改行 終わり");
    EXPECT_EQ(test::control<QLabel>(*organizer, "status")->sizeHint().height(), oneLine);
}

// Texts users typed or files they named, which must never be read as markup.
class OrganizerMarkupText : public ::testing::TestWithParam<const char*> { };

TEST_P(OrganizerMarkupText, ShowsLiterallyInTheStatusLineAndTheInspector)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    const QString text = QString::fromUtf8(GetParam());
    const auto shownWidth = [&](QLabel* label, const QString& shown) {
        label->setText(shown);
        return label->sizeHint().width();
    };

    organizer->message(text);
    EXPECT_EQ(test::control<QLabel>(*organizer, "status")->text(), text);
    QTextDocument tip;
    tip.setHtml(test::control<QLabel>(*organizer, "status")->toolTip());
    EXPECT_EQ(tip.toPlainText(), text) << "the tool tip shows the text as it is";
    const int literal = test::control<QLabel>(*organizer, "status")->sizeHint().width();
    QTextDocument rendered;
    rendered.setHtml(text);
    EXPECT_GT(literal, shownWidth(test::control<QLabel>(*organizer, "status"), rendered.toPlainText()))
        << "tags are not swallowed";

    OrganizerDocument document = test::sampleDocument();
    document.rows[0].items[0].name = text.toStdString();
    organizer->commit(document, {.select = std::vector<std::string>{"I1"}}, {});
    test::expectConsistent(*organizer);
    EXPECT_TRUE(test::control<QLabel>(*organizer, "clipInfo")->text().startsWith(text + "\n"));
    EXPECT_EQ(test::control<QLabel>(*organizer, "clipInfo")->textFormat(), Qt::PlainText);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerMarkupText,
                         ::testing::Values("<b>太字</b>の名前", "保存しました：<img src=\"x.png\">.mp4",
                                           "<html><body>A &amp; B</body></html>"),
                         [](const auto& info) {
                             return std::string(std::array{"Bold", "Image", "Page"}[info.index]);
                         });

TEST(OrganizerWindow, StaysLightUnderADarkDesktopTheme)
{
    test::testApplication();
    const QPalette desktop = QApplication::palette();
    QPalette dark(QColor(45, 45, 45), QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    QApplication::setPalette(dark);
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    const QImage shot = organizer->window()->grab().toImage();
    QApplication::setPalette(desktop);

    const QPalette shown = test::control<QLabel>(*organizer, "status")->palette();
    EXPECT_EQ(shown.color(QPalette::Window), QColor(240, 240, 240));
    EXPECT_EQ(shown.color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_GT(test::control<QLineEdit>(*organizer, "nameField")->palette().color(QPalette::Base).lightness(), 200);
    // The grey of the content view shows beside the status line.
    const QPoint beside =
        test::control<QLabel>(*organizer, "status")
            ->mapTo(organizer->window(), QPoint(test::control<QLabel>(*organizer, "status")->width() - 2, 2));
    EXPECT_EQ(shot.pixelColor(beside), QColor(240, 240, 240));
}

TEST(OrganizerWindow, PushButtonsFitTheirTitles)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    test::control<QWidget>(*organizer, "playbackPanel")->show();
    test::control<QWidget>(*organizer, "drawingPanel")->show();
    test::settle();
    int buttons = 0;
    for (const QPushButton* button : organizer->window()->findChildren<QPushButton*>()) {
        if (button->text().isEmpty()) continue;
        ++buttons;
        const int title = button->fontMetrics().horizontalAdvance(button->text());
        EXPECT_GE(button->width(), title + 8) << button->text().toStdString();
        EXPECT_LE(button->width(), title + 32) << button->text().toStdString();
    }
    // Toolbar 7, transport 7, row 1, clip data 1, playback 3, drawing 2.
    EXPECT_EQ(buttons, 21);
}

TEST(OrganizerWindow, MaterialsFollowTheToolList)
{
    ASSERT_EQ(Organizer::materialNames().size(), GXLSettings::tools().size());
    EXPECT_EQ(Organizer::materialNames().front(), "選手リング");
    EXPECT_EQ(Organizer::materialNames().back(), "芝生の視野");
    test::testApplication();
    for (int index = 0; index < 15; ++index) {
        const QImage icon = Organizer::materialIcon(index).pixmap(24, 24).toImage();
        EXPECT_FALSE(icon.isNull());
        EXPECT_NE(icon, QImage(icon.size(), icon.format())) << index;
    }
    const QImage none = Organizer::materialIcon(15).pixmap(24, 24).toImage();
    for (int y = 0; y < none.height(); ++y) {
        for (int x = 0; x < none.width(); ++x) ASSERT_EQ(qAlpha(none.pixel(x, y)), 0);
    }
}

// Window sizes whose picture must stay 16:9 with the material strip at the right.
class OrganizerWindowSize : public ::testing::TestWithParam<QSize> { };

TEST_P(OrganizerWindowSize, PictureKeepsSixteenByNineAndTheStripItsEdge)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    organizer->window()->resize(GetParam());
    test::settle();
    const QSize size = organizer->window()->size();
    EXPECT_GE(size.width(), 1000);
    EXPECT_GE(size.height(), 650);

    const QWidget* stage = test::control<QWidget>(*organizer, "previewStage");
    const QWidget* box = test::control<QWidget>(*organizer, "movie")->parentWidget();
    EXPECT_NEAR(box->width() * 9.0 / 16.0, box->height(), 1.0);
    EXPECT_TRUE(box->width() == stage->width() || box->height() == stage->height());
    EXPECT_NEAR(box->geometry().center().x(), stage->rect().center().x(), 1.0);
    EXPECT_NEAR(box->geometry().center().y(), stage->rect().center().y(), 1.0);
    EXPECT_EQ(test::control<OrganizerOverlay>(*organizer, "overlay")->geometry(), box->rect());

    const QRect strip = test::control<QScrollArea>(*organizer, "materialStrip")->geometry();
    EXPECT_EQ(strip.width(), 38);
    EXPECT_EQ(strip.right() + 1, stage->width() - 3);
    EXPECT_EQ(strip.top(), 5);
    EXPECT_EQ(strip.bottom() + 1, stage->height() - 5);
    const auto* scroll = static_cast<const QScrollArea*>(test::control<QScrollArea>(*organizer, "materialStrip"));
    const QList<QAbstractButton*> materials = scroll->widget()->findChildren<QAbstractButton*>();
    ASSERT_EQ(materials.size(), 15);
    for (int index = 0; index < 15; ++index) {
        const QAbstractButton* material = materials[index];
        EXPECT_EQ(material->geometry(), QRect(0, index * 33, 34, 30)) << index;
        EXPECT_EQ(material->property("tag").toInt(), index);
        EXPECT_EQ(material->toolTip(), Organizer::materialNames()[size_t(index)]);
    }
    // 15 buttons of 30 points and 14 gaps of 3.
    EXPECT_EQ(scroll->widget()->height(), 492);
    // Lower than the buttons need, the strip scrolls to the last of them.
    EXPECT_EQ(scroll->verticalScrollBar()->maximum() > 0, strip.height() < 492);
    if (strip.height() < 492) {
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(scroll->viewport(), &wheel);
        EXPECT_GT(scroll->verticalScrollBar()->value(), 0) << "the wheel reaches the lower buttons";
    }

    // The stage and the timeline leave a fixed allowance to what lies under them.
    const QWidget* previewPane = stage->parentWidget();
    EXPECT_EQ(stage->height(), std::max(100, previewPane->height() - 76));
    const QWidget* timelinePane = test::control<QScrollArea>(*organizer, "timelineScroll")->parentWidget();
    EXPECT_EQ(test::control<QScrollArea>(*organizer, "timelineScroll")->height(),
              std::max(100, timelinePane->height() - 55));
    if (timelinePane->height() >= 155) {
        for (const QWidget* child : timelinePane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_LE(child->geometry().bottom() + 1, timelinePane->height()) << child->metaObject()->className();
        }
    }
}

TEST(OrganizerWindow, TheRangeBarTakesTheRoomKeptForItAndThePictureStays)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    const QRect stage = test::control<QWidget>(*organizer, "previewStage")->geometry();
    const QWidget* pane = test::control<QWidget>(*organizer, "previewStage")->parentWidget();
    test::control<OrganizerRangeBar>(*organizer, "rangeBar")->show();
    test::settle();
    EXPECT_EQ(test::control<QWidget>(*organizer, "previewStage")->geometry(), stage);
    const QRect bar = test::control<OrganizerRangeBar>(*organizer, "rangeBar")->geometry();
    EXPECT_EQ(bar.height(), 34);
    EXPECT_EQ(bar.width(), pane->width());
    EXPECT_EQ(bar.top(), stage.bottom() + 1 + 8);
    for (const QWidget* child : pane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_LE(child->geometry().bottom() + 1, pane->height()) << child->metaObject()->className();
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, OrganizerWindowSize,
                         ::testing::Values(QSize(1200, 850), QSize(1000, 650), QSize(1900, 700), QSize(1000, 1200),
                                           QSize(600, 400)));

TEST(OrganizerWindow, TitleCardsReadOnTheBlackStage)
{
    TempDir folder;
    auto organizer = makeOrganizer(folder.path());
    test::control<QWidget>(*organizer, "movie")->hide();
    test::control<QScrollArea>(*organizer, "materialStrip")->hide();
    test::control<QLabel>(*organizer, "titleView")->setText("後半へ\n\n守備の確認");
    test::control<QLabel>(*organizer, "titleView")->show();
    test::settle();
    const QImage shot = test::control<QWidget>(*organizer, "previewStage")->grab().toImage();
    const QRect card = test::control<QLabel>(*organizer, "titleView")->parentWidget()->geometry();
    int bright = 0;
    for (int y = card.top(); y <= card.bottom(); ++y) {
        for (int x = card.left(); x <= card.right(); ++x) bright += shot.pixelColor(x, y).lightness() > 200;
    }
    EXPECT_GT(bright, 200) << "the title's letters stand out from the black";
    EXPECT_LT(bright, card.width() * card.height() / 10) << "on the black of the stage";
    EXPECT_TRUE(test::control<QLabel>(*organizer, "titleView")->font().bold());
    EXPECT_EQ(test::control<QLabel>(*organizer, "titleView")->font().pixelSize(), 30);
}

// A still in the image view: the largest rectangle of its own shape, centred.
struct StillCase {
    const char* name;
    QSize image;
    QSize view;
    QRectF shown;
};

class OrganizerStill : public ::testing::TestWithParam<StillCase> { };

TEST_P(OrganizerStill, ScalesProportionallyUpOrDown)
{
    test::testApplication();
    const StillCase& c = GetParam();
    QImage still(c.image, QImage::Format_ARGB32_Premultiplied);
    still.fill(Qt::red);
    OrganizerImageView view;
    view.resize(c.view);
    view.setImage(still);
    EXPECT_EQ(view.imageRect(), c.shown);

    QImage canvas(c.view, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    view.render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    const QRect inside = c.shown.toRect().adjusted(1, 1, -1, -1);
    EXPECT_EQ(canvas.pixelColor(inside.center()), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(inside.topLeft()), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(inside.bottomRight()), QColor(Qt::red));
    if (c.shown.top() >= 1) {
        EXPECT_EQ(canvas.pixelColor(c.view.width() / 2, 0), QColor(Qt::black));
    }
    if (c.shown.left() >= 1) {
        EXPECT_EQ(canvas.pixelColor(0, c.view.height() / 2), QColor(Qt::black));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerStill,
                         ::testing::Values(StillCase{"WideUp", {100, 50}, {400, 400}, QRectF(0, 100, 400, 200)},
                                           StillCase{"TallUp", {30, 60}, {400, 300}, QRectF(125, 0, 150, 300)},
                                           StillCase{"LargeDown", {3840, 2160}, {320, 180}, QRectF(0, 0, 320, 180)},
                                           StillCase{
                                               "SquareDownInWide", {1000, 1000}, {640, 360}, QRectF(140, 0, 360, 360)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OrganizerWindow, NoStillShowsNothing)
{
    test::testApplication();
    OrganizerImageView view;
    view.resize(200, 100);
    EXPECT_TRUE(view.imageRect().isEmpty());
    view.setImage(QImage());
    EXPECT_TRUE(view.imageRect().isEmpty());
}

struct SplitCase {
    bool sideBySide;
    QSize size;
    double ratio;
    double divider;
};

class OrganizerSplitPlace : public ::testing::TestWithParam<SplitCase> { };

TEST_P(OrganizerSplitPlace, DividerKeepsThePaneMinimums)
{
    test::testApplication();
    const SplitCase& c = GetParam();
    OrganizerSplit split;
    split.isVertical = c.sideBySide;
    split.addArrangedSubview(new QWidget);
    split.addArrangedSubview(new QWidget);
    split.resize(c.size);
    const double length = c.sideBySide ? c.size.width() : c.size.height();
    split.setPosition(c.ratio * length, 0);
    EXPECT_DOUBLE_EQ(split.dividerPosition(), c.divider);
    const QList<QWidget*> panes = split.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    const QRect second = panes[1]->geometry();
    EXPECT_EQ(c.sideBySide ? second.left() : second.top(), int(c.divider) + 7);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerSplitPlace,
                         ::testing::Values(SplitCase{true, QSize(600, 300), 0.65, 380},
                                           SplitCase{true, QSize(1200, 300), 0.65, 780},
                                           SplitCase{false, QSize(300, 400), 0.85, 243},
                                           SplitCase{true, QSize(1200, 300), 0.75, 900},
                                           SplitCase{true, QSize(2400, 300), 0.95, 2040}));

TEST(OrganizerWindow, ScreenshotWithASamplePlaylist)
{
    TempDir folder;
    OrganizerDocument sample = test::sampleDocument();
    sample.title = "サンプル";
    for (int i = 0; i < 6; ++i) {
        OrganizerItem item = test::sampleItem("X" + std::to_string(i));
        item.name = "攻撃 " + std::to_string(i + 1);
        item.end = 4 + i * 3;
        sample.rows[1].items.push_back(item);
    }
    writeFile(folder / "organizer-recovery.json", sample.toJson());
    auto organizer = makeOrganizer(folder.path());
    organizer->table.selectRowIndexes({0}, false);
    test::expectConsistent(*organizer);
    organizer->message("サンプルのプレイリストを表示しています。");
    test::settle();

    const QImage shot = organizer->window()->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    QDir().mkpath(ZANTO_TEST_OUTPUT_DIR);
    EXPECT_TRUE(shot.save(QString(ZANTO_TEST_OUTPUT_DIR) + "/organizer-window.png"));
    // The stage is black around the picture and the timeline's label column grey.
    const QPoint stageCorner =
        test::control<QWidget>(*organizer, "previewStage")->mapTo(organizer->window(), QPoint(1, 1));
    EXPECT_EQ(shot.pixelColor(stageCorner), QColor(Qt::black));
}

} // namespace
} // namespace zanto
