// MP4 and Final Cut Pro XML exports: which items go out, the panels, the
// background job on a copy of the playlist, progress, cancel and the result.
#include "organizer/Organizer.h"

#include "organizer/model/OrganizerEdits.h"

#include "playlist/OrganizerExporter.h"
#include "services/MediaExporter.h"

#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace zanto {

namespace {

std::vector<OrganizerItem> enabledItems(const std::vector<OrganizerItem>& items)
{
    std::vector<OrganizerItem> result;
    for (const OrganizerItem& item : items) {
        if (item.enabled) result.push_back(item);
    }
    return result;
}

std::vector<OrganizerItem> allItems(const OrganizerDocument& document)
{
    std::vector<OrganizerItem> result;
    for (const OrganizerRow& row : document.rows) result.insert(result.end(), row.items.begin(), row.items.end());
    return result;
}

} // namespace

void Organizer::exportAll()
{
    exportItems(enabledItems(allItems(playlist())));
}

void Organizer::exportSelection()
{
    const size_t row = static_cast<size_t>(currentRow());
    if (row >= playlist().rows.size()) return;
    const std::vector<OrganizerItem>& items = playlist().rows[row].items;
    std::vector<OrganizerItem> chosen;
    for (const int index : table.selectedRowIndexes()) {
        if (index < static_cast<int>(items.size())) chosen.push_back(items[static_cast<size_t>(index)]);
    }
    exportItems(enabledItems(chosen));
}

void Organizer::exportCurrentVideo()
{
    if (const OrganizerItem* queued = playback_->itemOnShow()) {
        // The item as edited since it was opened, else the queued copy.
        const OrganizerItem* own = edits::itemWithId(playlist(), queued->id);
        exportItems({own ? *own : *queued});
    } else if (const std::optional<OrganizerItem> item = selectedItem()) {
        exportItems({*item});
    } else {
        message("書き出すクリップを開いてください。");
    }
}

void Organizer::exportItems(const std::vector<OrganizerItem>& items)
{
    if (busy() || items.empty()) return;
    const std::optional<OrganizerSaveAnswer> answer =
        dialogs().save(QString::fromStdString(safeFilename(playlist().title)) + ".mp4", {"MP4 (*.mp4)"}, "mp4", {});
    if (!answer || answer->path.isEmpty()) return;
    const QString path = answer->path;
    auto exporter = std::make_shared<OrganizerExporter>();
    OrganizerJob job;
    job.file = path.toStdString();
    job.work = [exporter, items, path](const OrganizerDocument& copy, const OrganizerJobControl& control) {
        exporter->render(copy, items, path.toStdString(), [&control](double fraction, const std::string& text) {
            control.status(fraction, QString::fromStdString(text));
        });
    };
    job.finished = [this, path](std::optional<QString> failure) {
        finishExport(failure, "MP4を保存しました：" + path, path);
    };
    job.cancel = [exporter] { exporter->cancel(); };
    startExport(std::move(job));
}

void Organizer::chooseXMLExport()
{
    const size_t row = static_cast<size_t>(currentRow());
    const QString name = row < playlist().rows.size() ? QString::fromStdString(playlist().rows[row].name) : QString();
    const int answer = dialogs().alert("Final Cut Pro XMLの書き出し範囲",
                                       "全体は上の行から順に連結します。行ごとは現在選択している行を書き出します。描画"
                                       "・画像・フリーズは動画素材に変換します。",
                                       {"全体", "選択行：" + name, "キャンセル"});
    if (answer == 0) exportOrganizerXML(false);
    if (answer == 1) exportOrganizerXML(true);
}

void Organizer::exportOrganizerXML(bool rowOnly)
{
    if (busy()) return;
    const size_t row = static_cast<size_t>(currentRow());
    if (rowOnly && row >= playlist().rows.size()) return;
    const std::vector<OrganizerItem> items = enabledItems(rowOnly ? playlist().rows[row].items : allItems(playlist()));
    if (items.empty()) {
        message("書き出すクリップがありません。");
        return;
    }
    std::string title = playlist().title;
    if (rowOnly) title += " — " + playlist().rows[row].name;
    const std::optional<OrganizerSaveAnswer> answer = dialogs().save(
        QString::fromStdString(safeFilename(title)) + ".fcpxml", {"Final Cut Pro XML (*.fcpxml)"}, "fcpxml", {});
    if (!answer || answer->path.isEmpty()) return;
    const QString path = answer->path;
    auto exporter = std::make_shared<OrganizerExporter>();
    OrganizerJob job;
    job.file = path.toStdString();
    job.work = [exporter, items, title, path](const OrganizerDocument& copy, const OrganizerJobControl& control) {
        exporter->exportXML(copy, items, title, path.toStdString(),
                            [&control](double fraction, const std::string& text) {
                                control.status(fraction, QString::fromStdString(text));
                            });
    };
    job.finished = [this, path](std::optional<QString> failure) {
        finishExport(failure, "Final Cut Pro XMLを保存しました。隣の素材フォルダも保管してください。", path);
    };
    job.cancel = [exporter] { exporter->cancel(); };
    startExport(std::move(job));
}

void Organizer::cancelExport()
{
    jobs().cancel();
}

void Organizer::startExport(OrganizerJob job)
{
    stop();
    job.status = [this](double fraction, const QString& text) {
        // The text first: whoever watches the bar reads the text it goes with.
        message(text);
        progress_->setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000)));
    };
    if (!jobs().start(playlist(), std::move(job))) return;
    progress_->setValue(0);
    progress_->show();
}

void Organizer::finishExport(const std::optional<QString>& failure, const QString& success, const QString& revealed)
{
    progress_->hide();
    if (failure) {
        message(*failure);
        return;
    }
    message(success);
    dialogs().reveal(revealed);
}

} // namespace zanto
