// New, open and save of the playlist, and the open road of a playlist handed
// over by the file manager or a second launch.
#include "organizer/Organizer.h"

#include "services/MediaExporter.h"

#include <QWidget>

namespace zanto {

namespace {

QString joined(const std::vector<std::string>& lines, const QString& separator)
{
    QStringList texts;
    for (const std::string& line : lines) texts << QString::fromStdString(line);
    return texts.join(separator);
}

// The document at `path`, or none with the failure on show.
std::optional<OrganizerDocument> readDocument(Organizer& organizer, const std::filesystem::path& path)
{
    try {
        return OrganizerDocument::read(path);
    } catch (const std::exception& error) {
        organizer.message(QString::fromUtf8(error.what()));
        return std::nullopt;
    }
}

} // namespace

bool Organizer::confirmReplace()
{
    if (!changed()) return true;
    return dialogs().alert("別のプレイリストへ切り替えますか？",
                           "未保存の変更があります。残す場合はキャンセルして「保存」を選んでください。",
                           {"キャンセル", "切り替える"})
           == 1;
}

void Organizer::newDocument()
{
    if (busy() || !confirmReplace()) return;
    const std::optional<QString> name = dialogs().ask("プレイリスト名", QString());
    if (!name) return;
    OrganizerDocument document;
    document.title = name->toStdString();
    // A new playlist counts as changed, and the recovery file holds it at once.
    openDocument(std::move(document), OrganizerHistory::Start::changed);
}

void Organizer::openDocument()
{
    if (busy() || !confirmReplace()) return;
    const std::optional<std::filesystem::path> path =
        dialogs().choosePackage(".SCPlaylist または .zantoplaylist を選択");
    if (!path || path->empty()) return;
    std::optional<OrganizerDocument> document = readDocument(*this, *path);
    if (!document) return;
    const std::vector<std::string> warnings = document->warnings;
    if (!openDocument(std::move(*document))) return;
    // Shown also without warnings, which empties the status line.
    message(joined(warnings, "\n"));
    if (!warnings.empty()) dialogs().alert("プレイリストを読み込みました", joined(warnings, "\n\n"), {"OK"});
}

void Organizer::saveDocument()
{
    if (busy()) return;
    const std::optional<OrganizerSaveAnswer> answer =
        dialogs().save(QString::fromStdString(safeFilename(playlist().title)) + ".zantoplaylist", {}, {},
                       "動画もコピーして含める（他のPCへ渡す場合）");
    if (!answer || answer->path.isEmpty()) return;
    const QString path = answer->path;
    const bool embed = answer->checked;
    OrganizerJob job;
    job.file = path.toStdString();
    job.work = [path, embed](const OrganizerDocument& copy, const OrganizerJobControl&) {
        copy.write(path.toStdString(), embed);
    };
    // The bytes of the copy being saved (the playlist as it stands, between edits).
    job.finished = [this, path, saved = history_.historyBytes()](std::optional<QString> failure) {
        if (failure) {
            message(*failure);
            return;
        }
        history_.saved();
        message("保存しました：" + path);
        // The work now exists in the package: the next start need not ask
        // before replacing a recovery file that holds these very bytes.
        if (const std::optional<QString> unmarked = recovery_.markSaved(saved)) message(recoveryFailure + *unmarked);
    };
    jobs().start(playlist(), std::move(job));
    message("保存中… 動画を含める場合は容量に応じて時間がかかります。");
}

bool Organizer::openFromFileManager(const std::filesystem::path& path)
{
    if (busy() || !confirmReplace()) return false;
    std::optional<OrganizerDocument> document = readDocument(*this, path);
    if (!document || !openDocument(std::move(*document))) return false;
    window()->show();
    window()->raise();
    window()->activateWindow();
    return true;
}

} // namespace zanto
