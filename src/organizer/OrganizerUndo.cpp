#include "organizer/Organizer.h"

#include "organizer/OrganizerTimeline.h"

namespace zanto {

namespace {

constexpr size_t undoLimit = 50;

} // namespace

void Organizer::persist()
{
    // Encoded once: the same bytes decide the undo step and go to the file.
    const std::optional<std::string> bytes = organizerDocumentBytes(playlist);
    if (historyState && organizerDocumentBytes(*historyState) != bytes) {
        undoStates.push_back(std::move(*historyState));
        if (undoStates.size() > undoLimit) undoStates.erase(undoStates.begin());
        redoStates.clear();
    }
    historyState = playlist;
    timeline->refresh();
    changed = true;
    if (const std::optional<QString> failure = writeRecovery(bytes)) {
        message("自動復旧データの保存に失敗：" + *failure);
    }
}

void Organizer::undoOrganizer()
{
    stepHistory(undoStates, redoStates);
}

// Redo entries all came from undo steps, so the undo stack cannot pass its
// limit this way.
void Organizer::redoOrganizer()
{
    stepHistory(redoStates, undoStates);
}

void Organizer::stepHistory(std::vector<OrganizerDocument>& from, std::vector<OrganizerDocument>& to)
{
    if (busy || from.empty()) return;
    OrganizerDocument next = std::move(from.back());
    from.pop_back();
    to.push_back(std::move(playlist));
    playlist = std::move(next);
    restoreHistory();
}

void Organizer::restoreHistory()
{
    stop();
    historyState = playlist;
    reload(std::nullopt);
    changed = true;
    if (const std::optional<QString> failure = writeRecovery(organizerDocumentBytes(playlist))) {
        message(*failure);
    }
}

} // namespace zanto
