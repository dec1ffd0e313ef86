#include "organizer/OrganizerPackageChooser.h"

#include <QAbstractFileIconProvider>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>
#include <system_error>
#include <vector>

namespace zanto {

namespace fs = std::filesystem;

namespace {

// Where an entry's path is kept, as the file system's bytes.
constexpr int pathRole = Qt::UserRole + 1;

fs::path& lastFolder()
{
    static fs::path folder = QFile::encodeName(QDir::homePath()).toStdString();
    return folder;
}

fs::path typedPath(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString shownPath(const fs::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

bool isFolder(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
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

    std::optional<fs::path> chosen;

private:
    QHBoxLayout* locationRow();
    QHBoxLayout* buttonRow();
    void enter(const fs::path& folder);
    void choose(const fs::path& path);
    // A double click, Return in the list or a typed path.
    void open(const fs::path& path);
    fs::path pathAt(const QModelIndex& index) const;

    QStandardItemModel* model_;
    QListView* list_;
    QLineEdit* location_;
    QPushButton* openButton_ = nullptr;
    fs::path folder_;
};

PackageChooser::PackageChooser(QWidget* parent, const QString& message)
    : QDialog(parent), model_(new QStandardItemModel(this)), list_(new QListView(this)), location_(new QLineEdit(this))
{
    setObjectName(QStringLiteral("organizerPackageChooser"));
    setWindowModality(Qt::ApplicationModal);
    resize(640, 440);
    list_->setObjectName(QStringLiteral("chooserList"));
    list_->setModel(model_);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    location_->setObjectName(QStringLiteral("chooserLocation"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(message);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    layout->addLayout(locationRow());
    layout->addWidget(list_, 1);
    layout->addLayout(buttonRow());
    connect(list_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) { open(pathAt(index)); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { openButton_->setEnabled(list_->selectionModel()->hasSelection()); });
    // The text as shown stands for the folder on show, whose name may hold
    // bytes the text cannot.
    connect(location_, &QLineEdit::returnPressed, this,
            [this] { open(location_->text() == shownPath(folder_) ? folder_ : typedPath(location_->text())); });
    enter(isFolder(lastFolder()) ? lastFolder() : typedPath(QDir::homePath()));
    list_->setFocus();
}

QHBoxLayout* PackageChooser::locationRow()
{
    auto* row = new QHBoxLayout;
    QPushButton* up = plainButton(QStringLiteral("上へ"), QStringLiteral("chooserUp"), this);
    connect(up, &QPushButton::clicked, this, [this] { enter(folder_.parent_path()); });
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
        if (!selected.isEmpty()) choose(pathAt(selected.first()));
    });
    row->addWidget(cancel);
    row->addWidget(openButton_);
    return row;
}

// The visible entries of `folder`, folders first, each group by name.
std::vector<fs::directory_entry> visibleEntries(const fs::path& folder)
{
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->path().filename().native().starts_with('.')) entries.push_back(*it);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        std::error_code ignored;
        const bool aFolder = a.is_directory(ignored);
        const bool bFolder = b.is_directory(ignored);
        if (aFolder != bFolder) return aFolder;
        return shownPath(a.path().filename()).compare(shownPath(b.path().filename()), Qt::CaseInsensitive) < 0;
    });
    return entries;
}

void PackageChooser::enter(const fs::path& folder)
{
    folder_ = fs::absolute(folder).lexically_normal();
    if (folder_.has_relative_path() && folder_.filename().empty()) folder_ = folder_.parent_path();
    model_->clear();
    const QAbstractFileIconProvider icons;
    for (const fs::directory_entry& entry : visibleEntries(folder_)) {
        std::error_code ignored;
        const bool folder = entry.is_directory(ignored) && !isOrganizerPackage(entry.path());
        auto* item =
            new QStandardItem(icons.icon(folder ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File),
                              shownPath(entry.path().filename()));
        item->setData(QByteArray::fromStdString(entry.path().native()), pathRole);
        model_->appendRow(item);
    }
    list_->selectionModel()->clear();
    location_->setText(shownPath(folder_));
    lastFolder() = folder_;
}

fs::path PackageChooser::pathAt(const QModelIndex& index) const
{
    return index.data(pathRole).toByteArray().toStdString();
}

void PackageChooser::choose(const fs::path& path)
{
    chosen = fs::absolute(path);
    accept();
}

void PackageChooser::open(const fs::path& path)
{
    std::error_code error;
    if (!fs::exists(path, error)) return;
    if (isFolder(path) && !isOrganizerPackage(path))
        enter(path);
    else
        choose(path);
}

} // namespace

bool isOrganizerPackage(const fs::path& path)
{
    const QString name = shownPath(path.filename());
    return isFolder(path)
           && (name.endsWith(QStringLiteral(".zantoplaylist"), Qt::CaseInsensitive)
               || name.endsWith(QStringLiteral(".scplaylist"), Qt::CaseInsensitive));
}

std::optional<fs::path> runOrganizerPackageChooser(QWidget* parent, const QString& message)
{
    PackageChooser chooser(parent, message);
    if (chooser.exec() != QDialog::Accepted || !chooser.chosen) return std::nullopt;
    return chooser.chosen;
}

} // namespace zanto
