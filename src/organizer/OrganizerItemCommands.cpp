// Title cards, image and PDF slides, duplicating and removing items.
#include "organizer/Organizer.h"

#include "organizer/model/OrganizerEdits.h"
#include "playlist/OrganizerExporterPicture.h"

#include <QImageReader>

#include <set>

namespace zanto {

namespace {

// Every picture format the slide loader reads, and PDF.
QStringList pictureFilters()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << "*." + QString::fromLatin1(format).toLower();
    }
    patterns << "*.pdf";
    patterns.removeDuplicates();
    return {"画像・PDF (" + patterns.join(' ') + ")"};
}

} // namespace

void Organizer::addTitle()
{
    if (busy()) return;
    const std::optional<QString> name = dialogs().ask("タイトル", QString());
    if (!name) return;
    const OrganizerItem title = edits::titleItem(name->toStdString());
    commit(edits::insertingItems(playlist(), currentRow(), numberOfRows(), {title}), {.select = std::vector{title.id}},
           {});
}

void Organizer::addImage()
{
    if (busy()) return;
    const QStringList paths = dialogs().openFiles("画像・スライドを追加", pictureFilters(), true);
    if (!paths.isEmpty()) insertImages(paths);
}

void Organizer::insertImages(const QStringList& paths)
{
    if (busy()) return;
    std::vector<OrganizerItem> slides;
    for (const QString& path : paths) {
        QSizeF size;
        if (slides::loadPicture(path.toStdString(), size)) slides.push_back(edits::imageItem(path.toStdString()));
    }
    if (slides.empty()) {
        message("画像を読み込めませんでした。");
        return;
    }
    commit(
        edits::insertingItems(playlist(), currentRow(), numberOfRows(), slides), {},
        "画像を追加しました。PDFは最初のページを使用します。複数ページのスライドは画像に書き出して追加してください。");
}

void Organizer::duplicate()
{
    if (busy()) return;
    const int row = currentRow();
    commit(edits::duplicatingItems(playlist(), row, idsAt(row, table.selectedRowIndexes())), {}, {});
}

void Organizer::removeItems()
{
    if (busy()) return;
    const int row = currentRow();
    commit(edits::removingItems(playlist(), row, idsAt(row, table.selectedRowIndexes())), {}, {});
}

void Organizer::insertSlide(bool after)
{
    if (busy()) return;
    const std::optional<QString> name = dialogs().ask("スライドのタイトル", QString());
    if (!name) return;
    const int selected = table.selectedRow();
    const int position = selected < 0 ? numberOfRows() : selected + (after ? 1 : 0);
    const OrganizerItem title = edits::titleItem(name->toStdString());
    commit(edits::insertingItems(playlist(), currentRow(), position, {title}), {.select = std::vector{title.id}}, {});
}

} // namespace zanto
