#include "organizer/OrganizerSavePanel.h"
#include "organizer/OrganizerFileDialog.h"

#include "organizer/OrganizerAlert.h"
#include "organizer/OrganizerPackageChooser.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

namespace zanto {

namespace {

QString& lastFolder()
{
    static QString folder = QDir::homePath();
    return folder;
}

// The file dialog treats every existing folder as a place to enter, so a
// package typed by name would swallow the save; it is a document here. Before
// a package or a file is replaced the user is asked, in the same words for
// both (the dialog's own question is off).
class SavePanel : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QString path = selectedFiles().value(0);
        const QFileInfo info(path);
        if (!info.exists() || (info.isDir() && !isOrganizerPackage(QFile::encodeName(path).toStdString()))) {
            QFileDialog::accept();
            return;
        }
        const int pressed =
            runOrganizerAlert(this, QStringLiteral("“%1”は既に存在します。置き換えますか？").arg(info.fileName()),
                              QString(), {QStringLiteral("キャンセル"), QStringLiteral("置き換える")});
        if (pressed == 1) QDialog::done(QDialog::Accepted);
    }
};

} // namespace

std::optional<OrganizerSaveAnswer> runOrganizerSavePanel(QWidget* parent, const QString& defaultName,
                                                         const QStringList& nameFilters, const QString& suffix,
                                                         const QString& checkBox)
{
    SavePanel panel(parent);
    panel.setObjectName(QStringLiteral("organizerSavePanel"));
    localizeFileDialog(panel);
    panel.setOption(QFileDialog::DontConfirmOverwrite);
    panel.setWindowModality(Qt::ApplicationModal);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setDirectory(QFileInfo(lastFolder()).isDir() ? lastFolder() : QDir::homePath());
    if (!nameFilters.isEmpty()) panel.setNameFilters(nameFilters);
    if (!suffix.isEmpty()) panel.setDefaultSuffix(suffix);
    panel.selectFile(defaultName);
    QCheckBox* box = nullptr;
    if (!checkBox.isEmpty()) {
        box = new QCheckBox(checkBox, &panel);
        box->setObjectName(QStringLiteral("savePanelCheckBox"));
        auto* grid = qobject_cast<QGridLayout*>(panel.layout());
        if (grid) grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    const QString path = panel.selectedFiles().value(0);
    if (path.isEmpty()) return std::nullopt;
    lastFolder() = QFileInfo(path).absolutePath();
    return OrganizerSaveAnswer{path, box && box->isChecked()};
}

} // namespace zanto
