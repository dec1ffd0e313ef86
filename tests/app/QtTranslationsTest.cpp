#include "app/QtTranslations.h"
#include "organizer/OrganizerTestSupport.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>

namespace zanto {
namespace {

QString cancelTitle(const QWidget& dialog)
{
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    return buttons && buttons->button(QDialogButtonBox::Cancel) ? buttons->button(QDialogButtonBox::Cancel)->text() : QString();
}

// Qt's own file and colour dialogs, as the window opens them, in Japanese.
TEST(QtTranslations, StandardDialogsSpeakJapanese)
{
    test::testApplication();
    ASSERT_TRUE(installQtTranslations());
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QColorDialog colours;
    colours.setOption(QColorDialog::DontUseNativeDialog);
    EXPECT_EQ(cancelTitle(files), "キャンセル");
    EXPECT_EQ(cancelTitle(colours), "キャンセル");
}

} // namespace
} // namespace zanto
