#include "app/QtTranslations.h"
#include "organizer/OrganizerFileDialog.h"
#include "organizer/OrganizerTestSupport.h"
#include "support/EventLoopWait.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>

namespace zanto {
namespace {

// Qt's own file and colour dialogs, as the window opens them, in Japanese.
TEST(QtTranslations, StandardDialogsSpeakJapanese)
{
    test::testApplication();
    ASSERT_TRUE(installQtTranslations());
    QFileDialog files;
    QColorDialog colours;
    for (const QDialog* dialog : std::initializer_list<const QDialog*>{&files, &colours})
        EXPECT_EQ(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(), "キャンセル");
}

// The list of the Organizer's file dialogs: a folder's type and every date in
// Japanese, as the file types are.
TEST(QtTranslations, FileDialogListsInJapanese)
{
    test::testApplication();
    ASSERT_TRUE(installQtTranslations());
    test::TempDir folder;
    std::filesystem::create_directories(folder / "sub");
    QImage(2, 2, QImage::Format_RGB32).save(QString::fromStdString((folder / "a.png").string()));
    QFileDialog dialog;
    localizeFileDialog(dialog);
    dialog.setDirectory(QString::fromStdString(folder.path().string()));
    const QTreeView* view = dialog.findChild<QTreeView*>("treeView");
    const QAbstractItemModel* list = view->model();
    const QModelIndex root = view->rootIndex();
    ASSERT_TRUE(test::waitFor([&] { return list->rowCount(root) == 2; }));
    QStringList types;
    for (int row = 0; row < 2; ++row) {
        types << list->index(row, 2, root).data().toString();
        const QString date = list->index(row, 3, root).data().toString();
        EXPECT_TRUE(date.contains(QRegularExpression("^\\d{4}/\\d{2}/\\d{2} "))) << date.toStdString();
    }
    types.sort();
    EXPECT_EQ(types, (QStringList{"PNG 画像", "フォルダ"}));
}

} // namespace
} // namespace zanto
