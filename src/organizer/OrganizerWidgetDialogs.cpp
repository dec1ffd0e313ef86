#include "organizer/OrganizerWidgetDialogs.h"
#include "organizer/OrganizerAlert.h"
#include "organizer/OrganizerAskDialog.h"
#include "organizer/OrganizerFileDialog.h"
#include "organizer/OrganizerPackageChooser.h"
#include "organizer/OrganizerReveal.h"
#include "organizer/OrganizerSavePanel.h"

#include <QAction>
#include <QCursor>
#include <QFileDialog>
#include <QMenu>

namespace zanto {

std::optional<QString> OrganizerWidgetDialogs::ask(const QString& message, const QString& value)
{
    return runOrganizerAsk(parent_, message, value);
}

int OrganizerWidgetDialogs::alert(const QString& message, const QString& informative, const QStringList& buttons)
{
    return std::max(0, runOrganizerAlert(parent_, message, informative, buttons));
}

std::optional<std::filesystem::path> OrganizerWidgetDialogs::choosePackage(const QString& message)
{
    return runOrganizerPackageChooser(parent_, message);
}

QStringList OrganizerWidgetDialogs::openFiles(const QString& message, const QStringList& nameFilters, bool multiple)
{
    QFileDialog dialog(parent_, message);
    localizeFileDialog(dialog);
    dialog.setObjectName(QStringLiteral("organizerOpenFiles"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

std::optional<OrganizerSaveAnswer> OrganizerWidgetDialogs::save(const QString& defaultName,
                                                                const QStringList& nameFilters, const QString& suffix,
                                                                const QString& checkBox)
{
    return runOrganizerSavePanel(parent_, defaultName, nameFilters, suffix, checkBox);
}

std::optional<int> OrganizerWidgetDialogs::menu(const QStringList& titles)
{
    QMenu menu(parent_);
    for (const QString& title : titles) menu.addAction(title);
    const QAction* chosen = menu.exec(QCursor::pos());
    if (!chosen) return std::nullopt;
    return static_cast<int>(menu.actions().indexOf(const_cast<QAction*>(chosen)));
}

void OrganizerWidgetDialogs::reveal(const QString& path)
{
    revealInFileManager(path);
}

} // namespace zanto
