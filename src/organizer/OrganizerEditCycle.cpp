#include "organizer/Organizer.h"

#include "organizer/OrganizerTimelinePane.h"
#include "organizer/model/OrganizerEdits.h"

namespace zanto {

const QString Organizer::recoveryFailure = QStringLiteral("自動復旧データの保存に失敗：");

bool Organizer::commit(OrganizerDocument candidate, const OrganizerFocus& focus, const QString& text, CommitViews views)
{
    if (const std::optional<std::string> refused = edits::refusal(candidate)) {
        message(QString::fromStdString(*refused));
        return false;
    }
    history_.playlist = std::move(candidate);
    if (views == CommitViews::reload) {
        reload(focus);
    } else {
        // Neither the inspector nor the preview is refilled: either would
        // stop the item on show.
        table.reloadData(numberOfRows());
        showTimeline();
    }
    // A failed recovery write keeps its own message on show.
    if (persist() && !text.isEmpty()) message(text);
    return true;
}

bool Organizer::openDocument(OrganizerDocument document, OrganizerHistory::Start start)
{
    if (busy()) return false;
    if (const std::optional<std::string> refused = edits::refusal(document)) {
        message(QString::fromStdString(*refused));
        return false;
    }
    stop();
    history_.open(std::move(document), start);
    reload();
    if (!writeRecovery(history_.historyBytes(), recoveryFailure) || history_.changed()) return true;
    // Only once the file holds the opened bytes may the next start take them for saved ones.
    if (const std::optional<QString> failure = recovery_.markSaved(history_.historyBytes()))
        message(recoveryFailure + *failure);
    return true;
}

bool Organizer::persist()
{
    const std::optional<std::string> bytes = history_.persist();
    timelinePane_->timeline().refresh();
    return writeRecovery(bytes, recoveryFailure);
}

void Organizer::undoOrganizer()
{
    if (!busy() && history_.undo()) restoreHistory();
}

void Organizer::redoOrganizer()
{
    if (!busy() && history_.redo()) restoreHistory();
}

void Organizer::restoreHistory()
{
    stop();
    reload();
    // The reload leaves the preview on the movie, which the stop emptied: a
    // still's marks would come back over black. A selected still opens, paused,
    // as a press opens it; a video stays stopped.
    const std::optional<OrganizerItem> selected = selectedItem();
    if (selected && selected->kind != "video") begin({*selected}, false);
    writeRecovery(history_.historyBytes(), QString());
}

bool Organizer::writeRecovery(const std::optional<std::string>& bytes, const QString& prefix)
{
    const std::optional<QString> failure = recovery_.write(history_.playlist, bytes);
    if (failure) message(prefix + *failure);
    return !failure;
}

} // namespace zanto
