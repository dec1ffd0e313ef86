#include "app/QtTranslations.h"
#include "organizer/OrganizerTestSupport.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>

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

} // namespace
} // namespace zanto
