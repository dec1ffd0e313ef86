#include "organizer/OrganizerPackageChooser.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

namespace zanto {

namespace {

QString& lastFolder()
{
    static QString folder = QDir::homePath();
    return folder;
}

// Every button is plain (no default): the list's Return activates its item
// and must not press "開く" as well.
QPushButton* plainButton(const QString& title, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

class PackageChooser : public QDialog {
public:
    PackageChooser(QWidget* parent, const QString& message);

    QString chosen;

private:
    QHBoxLayout* locationRow();
    QHBoxLayout* buttonRow();
    void enter(const QString& folder);
    void choose(const QString& path);
    // A double click, Return in the list or a typed path.
    void open(const QString& path);

    QFileSystemModel* model_;
    QListView* list_;
    QLineEdit* location_;
    QPushButton* openButton_ = nullptr;
};

PackageChooser::PackageChooser(QWidget* parent, const QString& message)
    : QDialog(parent), model_(new QFileSystemModel(this)), list_(new QListView(this)), location_(new QLineEdit(this))
{
    setObjectName(QStringLiteral("organizerPackageChooser"));
    setWindowModality(Qt::ApplicationModal);
    resize(640, 440);
    model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
    list_->setObjectName(QStringLiteral("chooserList"));
    list_->setModel(model_);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    location_->setObjectName(QStringLiteral("chooserLocation"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(message);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    layout->addLayout(locationRow());
    layout->addWidget(list_, 1);
    layout->addLayout(buttonRow());
    connect(list_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { open(model_->filePath(index)); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { openButton_->setEnabled(list_->selectionModel()->hasSelection()); });
    connect(location_, &QLineEdit::returnPressed, this, [this] { open(location_->text()); });
    enter(QFileInfo(lastFolder()).isDir() ? lastFolder() : QDir::homePath());
    list_->setFocus();
}

QHBoxLayout* PackageChooser::locationRow()
{
    auto* row = new QHBoxLayout;
    QPushButton* up = plainButton(QStringLiteral("上へ"), QStringLiteral("chooserUp"), this);
    connect(up, &QPushButton::clicked, this, [this] {
        QDir folder(model_->rootPath());
        if (folder.cdUp()) enter(folder.absolutePath());
    });
    row->addWidget(up);
    row->addWidget(location_, 1);
    return row;
}

QHBoxLayout* PackageChooser::buttonRow()
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    QPushButton* cancel = plainButton(QStringLiteral("キャンセル"), QStringLiteral("chooserCancel"), this);
    openButton_ = plainButton(QStringLiteral("開く"), QStringLiteral("chooserOpen"), this);
    openButton_->setEnabled(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(openButton_, &QPushButton::clicked, this, [this] {
        const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
        if (!selected.isEmpty()) choose(model_->filePath(selected.first()));
    });
    row->addWidget(cancel);
    row->addWidget(openButton_);
    return row;
}

void PackageChooser::enter(const QString& folder)
{
    const QString absolute = QDir(folder).absolutePath();
    list_->setRootIndex(model_->setRootPath(absolute));
    list_->selectionModel()->clear();
    location_->setText(absolute);
    lastFolder() = absolute;
}

void PackageChooser::choose(const QString& path)
{
    chosen = QFileInfo(path).absoluteFilePath();
    accept();
}

void PackageChooser::open(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) return;
    if (info.isDir() && !isOrganizerPackage(info))
        enter(info.absoluteFilePath());
    else
        choose(path);
}

} // namespace

bool isOrganizerPackage(const QFileInfo& info)
{
    const QString name = info.fileName();
    return info.isDir()
           && (name.endsWith(QStringLiteral(".zantoplaylist"), Qt::CaseInsensitive)
               || name.endsWith(QStringLiteral(".scplaylist"), Qt::CaseInsensitive));
}

std::optional<QString> runOrganizerPackageChooser(QWidget* parent, const QString& message)
{
    PackageChooser chooser(parent, message);
    if (chooser.exec() != QDialog::Accepted || chooser.chosen.isEmpty()) return std::nullopt;
    return chooser.chosen;
}

} // namespace zanto
