#include "organizer/OrganizerFileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace zanto {
namespace {

// The file system model's columns: name, size, type, date modified.
constexpr int typeColumn = 2;
constexpr int dateColumn = 3;

class LocalizedFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid()) return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == dateColumn) return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        if (index.column() == typeColumn && files->isDir(source)) return QStringLiteral("フォルダ");
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

void localizeFileDialog(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new LocalizedFileList(&dialog));
}

} // namespace zanto
