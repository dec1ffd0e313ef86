// The Organizer's own dialogs, run for real offscreen: a timer finds the modal
// dialog and presses keys and buttons as a user would.
#include "OrganizerTestSupport.h"
#include "organizer/OrganizerAlert.h"
#include "organizer/OrganizerAskDialog.h"
#include "organizer/OrganizerPackageChooser.h"
#include "organizer/OrganizerSavePanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace zanto::test {
namespace {

// Runs `drive` on the next modal dialog other than `above` once it is on
// screen.
void whenModal(std::function<void(QWidget*)> drive, const QWidget* above = nullptr)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, drive, above] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == above || !modal->isVisible()) return;
        timer->deleteLater();
        timer->stop();
        drive(modal);
    });
    timer->start(20);
}

// Keys go where the user's keys go: to the focused widget.
void press(QWidget* dialog, Qt::Key key)
{
    QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, key);
}

bool waitFor(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

struct AlertCase {
    QStringList buttons;
    std::vector<Qt::Key> keys; // Qt::Key_unknown clicks `click`
    int click;
    int expected;
};

class OrganizerDialogsAlert : public testing::TestWithParam<AlertCase>, public UsesApplication { };

TEST_P(OrganizerDialogsAlert, FirstButtonRightmostAndDefaultEscapeCancels)
{
    const AlertCase& row = GetParam();
    std::vector<int> positions;
    whenModal([&](QWidget* dialog) {
        for (int index = 0; index < row.buttons.size(); ++index)
            positions.push_back(dialog->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(index))->x());
        for (Qt::Key key : row.keys) {
            if (key != Qt::Key_unknown)
                press(dialog, key);
            else
                dialog->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(row.click))->click();
        }
    });
    EXPECT_EQ(runOrganizerAlert(nullptr, "message", "informative", row.buttons), row.expected);
    ASSERT_EQ(positions.size(), static_cast<size_t>(row.buttons.size()));
    for (size_t index = 1; index < positions.size(); ++index)
        EXPECT_LT(positions[index], positions[index - 1]) << "button " << index << " stands right of its elder";
}

const QStringList replace{"キャンセル", "切り替える"};
const QStringList xml{"全体", "選択行：A", "キャンセル"};
INSTANTIATE_TEST_SUITE_P(
    Rows, OrganizerDialogsAlert,
    testing::Values(
        AlertCase{replace, {Qt::Key_Return}, 0, 0},
        AlertCase{replace, {Qt::Key_Tab, Qt::Key_Return}, 0, 0}, // Return presses the default wherever the focus is
        AlertCase{replace, {Qt::Key_unknown}, 1, 1}, AlertCase{xml, {Qt::Key_Return}, 0, 0},
        AlertCase{xml, {Qt::Key_Escape}, 0, 2}, AlertCase{xml, {Qt::Key_unknown}, 1, 1},
        AlertCase{{"OK"}, {Qt::Key_Escape}, 0, 0},
        AlertCase{{"A", "B"}, {Qt::Key_Escape, Qt::Key_Return}, 0, 0})); // no cancel: Escape does nothing

struct AskCase {
    QString value;
    QString typed; // replaces the field's text unless null
    Qt::Key key;
    std::optional<QString> expected;
};

class OrganizerDialogsAsk : public testing::TestWithParam<AskCase>, public UsesApplication { };

TEST_P(OrganizerDialogsAsk, AnswersTrimmedTextOrNone)
{
    const AskCase& row = GetParam();
    QSize fieldSize;
    whenModal([&](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>("askField");
        fieldSize = field->size();
        if (!row.typed.isNull()) {
            field->clear();
            field->insert(row.typed); // as typed: QTest spells only ASCII keys
        }
        press(dialog, row.key);
    });
    EXPECT_EQ(runOrganizerAsk(nullptr, "行の名前", row.value), row.expected);
    EXPECT_EQ(fieldSize, QSize(340, 26));
}

INSTANTIATE_TEST_SUITE_P(Rows, OrganizerDialogsAsk,
                         testing::Values(AskCase{"", " \t 新しい行\u3000 ", Qt::Key_Return, "新しい行"},
                                         AskCase{"レビュー", QString(), Qt::Key_Return, "レビュー"},
                                         AskCase{"", "    ", Qt::Key_Return, std::nullopt},
                                         AskCase{"レビュー", QString(), Qt::Key_Escape, std::nullopt}));

enum class Gesture { DoubleClick, SelectAndOpen };

struct ChooserCase {
    std::string name;
    Gesture gesture;
    bool enters; // the chooser shows the folder's inside and stays open
};

// "Latin-été.zantoplaylist" with "été" in Latin-1: a name that is not UTF-8.
const std::string latinPackage = "Latin-\xe9t\xe9.zantoplaylist";

class OrganizerDialogsChooser : public testing::TestWithParam<ChooserCase>, public UsesApplication {
protected:
    OrganizerDialogsChooser()
    {
        for (const std::string& folder :
             {std::string("Match.ZantoPlaylist"), std::string("Old.SCPLAYLIST"), std::string("plain"), latinPackage})
            std::filesystem::create_directories(temp / folder);
        std::ofstream(temp / "Match.ZantoPlaylist" / "playlist.json") << "{}";
        std::ofstream(temp / "plain" / "inner.txt") << "x";
        std::ofstream(temp / "clip.mp4") << "x";
    }
    TempDir temp{"zanto-chooser-"};
};

// The line of the list that shows `name` (as the file system holds it).
QModelIndex lineOf(const QListView& list, const std::string& name)
{
    const QModelIndexList found =
        list.model()->match(list.model()->index(0, 0), Qt::DisplayRole,
                            QFile::decodeName(QByteArray::fromStdString(name)), 1, Qt::MatchExactly);
    return found.value(0);
}

TEST_P(OrganizerDialogsChooser, PackagesAreItemsPlainFoldersOpen)
{
    const ChooserCase& row = GetParam();
    const QString folder = QString::fromStdString(temp.path().string());
    const std::filesystem::path target = temp / row.name;
    QString shown;
    whenModal([&](QWidget* dialog) {
        auto* location = dialog->findChild<QLineEdit*>("chooserLocation");
        auto* list = dialog->findChild<QListView*>("chooserList");
        location->setText(folder);
        QTest::keyClick(location, Qt::Key_Return);
        if (!waitFor([&] { return !list->visualRect(lineOf(*list, row.name)).isEmpty(); })) {
            ADD_FAILURE() << "the list never showed " << target;
            dialog->findChild<QPushButton*>("chooserCancel")->click();
            return;
        }
        const QPoint item = list->visualRect(lineOf(*list, row.name)).center();
        if (row.gesture == Gesture::DoubleClick) {
            // A double click is a press and release, then the second press.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item);
        } else {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item);
            dialog->findChild<QPushButton*>("chooserOpen")->click();
        }
        if (dialog->isVisible()) {
            shown = location->text();
            dialog->findChild<QPushButton*>("chooserCancel")->click();
        }
    });
    const std::optional<std::filesystem::path> chosen =
        runOrganizerPackageChooser(nullptr, ".SCPlaylist または .zantoplaylist を選択");
    if (row.enters) {
        EXPECT_EQ(chosen, std::nullopt);
        EXPECT_EQ(shown.toStdString(), target.string());
    } else {
        EXPECT_EQ(chosen, target);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, OrganizerDialogsChooser,
                         testing::Values(ChooserCase{"Match.ZantoPlaylist", Gesture::DoubleClick, false},
                                         ChooserCase{"Old.SCPLAYLIST", Gesture::DoubleClick, false},
                                         ChooserCase{"Match.ZantoPlaylist", Gesture::SelectAndOpen, false},
                                         ChooserCase{latinPackage, Gesture::DoubleClick, false},
                                         ChooserCase{"plain", Gesture::DoubleClick, true},
                                         ChooserCase{"plain", Gesture::SelectAndOpen, false},
                                         ChooserCase{"clip.mp4", Gesture::DoubleClick, false}));

struct SaveCase {
    QStringList filters;
    QString suffix;
    QString checkBox;
    std::string typed; // under the temporary folder
    bool tick;
    bool replaces;        // an existing package: the user is asked first
    std::string expected; // empty: cancelled
};

class OrganizerDialogsSavePanel : public testing::TestWithParam<SaveCase>, public UsesApplication {
protected:
    OrganizerDialogsSavePanel()
    {
        std::filesystem::create_directories(temp / "Old.zantoplaylist");
        std::ofstream(temp / "taken.mp4") << "x";
    }
    TempDir temp{"zanto-save-"};
};

TEST_P(OrganizerDialogsSavePanel, ReturnsThePathAsTypedAndTheBox)
{
    const SaveCase& row = GetParam();
    const QString folder = QString::fromStdString(temp.path().string()) + "/";
    QString proposed;
    bool hasBox = false;
    bool asked = false;
    whenModal([&](QWidget* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        proposed = name->text();
        auto* box = dialog->findChild<QCheckBox*>("savePanelCheckBox");
        hasBox = box && box->isVisible() && !box->isChecked();
        if (row.tick) box->setChecked(true);
        if (row.expected.empty()) {
            press(dialog, Qt::Key_Escape);
            return;
        }
        name->setText(folder + QString::fromStdString(row.typed));
        if (row.replaces)
            whenModal(
                [&asked](QWidget* alert) {
                    asked = true;
                    alert->findChild<QPushButton*>("alertButton1")->click();
                },
                dialog);
        QTest::keyClick(name, Qt::Key_Return);
    });
    const std::optional<OrganizerSaveAnswer> answer =
        runOrganizerSavePanel(nullptr, "a_b.zantoplaylist", row.filters, row.suffix, row.checkBox);
    EXPECT_EQ(proposed, "a_b.zantoplaylist");
    EXPECT_EQ(hasBox, !row.checkBox.isEmpty());
    if (row.expected.empty()) {
        EXPECT_FALSE(answer.has_value());
        return;
    }
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->path, folder + QString::fromStdString(row.expected));
    EXPECT_EQ(answer->checked, row.tick);
    EXPECT_EQ(asked, row.replaces);
}

const QString embed = "動画もコピーして含める（他のPCへ渡す場合）";
INSTANTIATE_TEST_SUITE_P(Rows, OrganizerDialogsSavePanel,
                         testing::Values(SaveCase{{}, {}, embed, "Match", true, false, "Match"},
                                         SaveCase{
                                             {}, {}, embed, "Match.zantoplaylist", false, false, "Match.zantoplaylist"},
                                         SaveCase{{"*.mp4"}, "mp4", {}, "movie", false, false, "movie.mp4"},
                                         SaveCase{{"*.mp4"}, "mp4", {}, "taken", false, true, "taken.mp4"},
                                         SaveCase{{}, {}, embed, "Old.zantoplaylist", false, true, "Old.zantoplaylist"},
                                         SaveCase{{}, {}, embed, "", false, false, ""}));

} // namespace
} // namespace zanto::test
