#include "organizer/OrganizerWidgetDialogs.h"

#include <QAction>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace zanto {

std::optional<QString> OrganizerWidgetDialogs::ask(const QString& message, const QString& value)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(parent_, QString(), message, QLineEdit::Normal, value, &accepted);
    const QString answer = text.trimmed();
    if (!accepted || answer.isEmpty()) return std::nullopt;
    return answer;
}

int OrganizerWidgetDialogs::alert(const QString& message, const QString& informative, const QStringList& buttons)
{
    QMessageBox box(parent_);
    box.setText(message);
    box.setInformativeText(informative);
    QList<QPushButton*> pressed;
    for (const QString& title : buttons) pressed << box.addButton(title, QMessageBox::ActionRole);
    if (!pressed.isEmpty()) box.setDefaultButton(pressed.first());
    box.exec();
    const int index = static_cast<int>(pressed.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return std::max(0, index);
}

std::optional<QString> OrganizerWidgetDialogs::choosePackage(const QString& message)
{
    const QString path = QFileDialog::getOpenFileName(parent_, message);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

QStringList OrganizerWidgetDialogs::openFiles(const QString& message, const QStringList& nameFilters, bool multiple)
{
    const QString filter = nameFilters.join(";;");
    if (multiple) return QFileDialog::getOpenFileNames(parent_, message, QString(), filter);
    const QString path = QFileDialog::getOpenFileName(parent_, message, QString(), filter);
    return path.isEmpty() ? QStringList() : QStringList{path};
}

std::optional<OrganizerSaveAnswer> OrganizerWidgetDialogs::save(const QString& defaultName,
                                                                const QStringList& nameFilters,
                                                                const QString& suffix, const QString& checkBox)
{
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(defaultName);
    if (!nameFilters.isEmpty()) dialog.setNameFilters(nameFilters);
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    // The check box belongs to the real save panel; this one answers unchecked.
    Q_UNUSED(checkBox);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return OrganizerSaveAnswer{dialog.selectedFiles().first(), false};
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
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace zanto
