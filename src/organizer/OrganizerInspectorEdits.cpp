// The inspector's commands: apply the typed fields, choose the angle, relink
// a source to another movie and set a source's offset.
#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/model/OrganizerEdits.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "services/ExportFailure.h"

#include <QFileInfo>

#include <filesystem>

namespace zanto {

namespace {

// Whether the file has a video track; pipes, devices and empty files are
// refused before any probe, which could block on them.
bool holdsVideo(const QString& path)
{
    const std::filesystem::path file = path.toStdString();
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error) || std::filesystem::file_size(file, error) == 0 || error) {
        return false;
    }
    try {
        return MediaAsset::load(file).hasVideo();
    } catch (const MediaError&) {
        return false;
    }
}

} // namespace

void Organizer::apply()
{
    const std::optional<OrganizerItem> item = selectedItem();
    if (busy() || !item) {
        message(organizerInvalidSecondsMessage);
        return;
    }
    try {
        OrganizerDocument candidate =
            edits::applyingFields(playlist(), item->id, inspector_->typedFields(),
                                  [this](const std::string& path) { return sourceDuration(path); });
        // The item shows what was applied, opened at its in point as a trim on the timeline opens it.
        commit(std::move(candidate), {.select = std::vector{item->id}, .open = true},
               "変更を反映しました。元のタイムラインは変更していません。");
    } catch (const ExportFailure& failure) {
        message(QString::fromStdString(failure.message));
    }
}

void Organizer::angleChanged()
{
    const std::optional<std::string> id = inspector_->chosenAngle();
    const std::optional<OrganizerItem> item = selectedItem();
    if (busy() || !item || !id) return;
    commit(edits::choosingAngle(playlist(), item->id, *id), {}, {});
}

void Organizer::relink()
{
    const std::optional<OrganizerItem> item = selectedItem();
    const OrganizerSource* source = item ? playlist().source(item->sourceID) : nullptr;
    if (busy() || !source) return;
    const std::string id = source->id;
    const QStringList files =
        dialogs_->openFiles(QString::fromStdString(source->name) + " の連続した動画を選択してください。",
                            {"ムービー (*.mp4 *.mov *.m4v)"}, false);
    if (files.isEmpty()) return;
    if (!holdsVideo(files.front())) {
        message("映像を読み込めません。");
        return;
    }
    const std::string path = QFileInfo(files.front()).absoluteFilePath().toStdString();
    // The item on show plays on from the file it opened.
    commit(edits::relinkingSource(playlist(), id, path), {},
           "再接続しました。同じ映像を参照する全クリップに適用されます。必要に応じて補正秒を設定してください。",
           CommitViews::kept);
}

void Organizer::applyOffset()
{
    const std::optional<OrganizerItem> item = selectedItem();
    const OrganizerSource* source = item ? playlist().source(item->sourceID) : nullptr;
    const std::optional<double> offset = edits::parseSeconds(inspector_->offsetText());
    if (busy() || !source || !offset) return;
    // The item on show plays on at the offset it opened with.
    commit(edits::offsettingSource(playlist(), source->id, *offset), {},
           "映像時刻 = 区間時刻 + 補正秒。同じ映像の全クリップに適用しました。", CommitViews::kept);
}

} // namespace zanto
