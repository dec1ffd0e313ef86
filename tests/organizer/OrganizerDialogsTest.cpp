#include "OrganizerTestSupport.h"

#include "organizer/OrganizerWidgetDialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace zanto {
namespace {

// Answers the next modal dialog from inside its event loop.
template <typename Dialog>
void answer(std::function<void(Dialog&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

struct AskCase {
    const char* name;
    const char* typed;
    bool accepted;
    std::optional<QString> answer;
};

class OrganizerWidgetAsk : public ::testing::TestWithParam<AskCase> {};

TEST_P(OrganizerWidgetAsk, TrimsTheAnswerAndGivesNoneForBlankOrCancel)
{
    test::testApplication();
    QWidget parent;
    OrganizerWidgetDialogs dialogs(&parent);
    const AskCase c = GetParam();
    answer<QInputDialog>([c](QInputDialog& dialog) {
        dialog.setTextValue(QString::fromUtf8(c.typed));
        c.accepted ? dialog.accept() : dialog.reject();
    });
    EXPECT_EQ(dialogs.ask("行名", "前"), c.answer);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerWidgetAsk,
                         ::testing::Values(AskCase{"Trimmed", "  後半 \n", true, QString("後半")},
                                           AskCase{"Blank", " \t\n", true, std::nullopt},
                                           AskCase{"Cancelled", "後半", false, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OrganizerWidgetDialogs, AlertKeepsTheButtonOrderAndTheFirstIsTheDefault)
{
    test::testApplication();
    QWidget parent;
    OrganizerWidgetDialogs dialogs(&parent);
    QStringList shown;
    answer<QMessageBox>([&shown](QMessageBox& box) {
        for (QAbstractButton* button : box.buttons()) shown << button->text();
        EXPECT_EQ(box.defaultButton()->text(), "保存");
        box.buttons().at(2)->click();
    });
    EXPECT_EQ(dialogs.alert("変更を保存しますか？", "", {"保存", "保存しない", "キャンセル"}), 2);
    EXPECT_EQ(shown, (QStringList{"保存", "保存しない", "キャンセル"}));
}

} // namespace
} // namespace zanto
