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
    if (busy || undoStates.empty()) return;
    OrganizerDocument previous = std::move(undoStates.back());
    undoStates.pop_back();
    redoStates.push_back(std::move(playlist));
    playlist = std::move(previous);
    restoreHistory();
}

void Organizer::redoOrganizer()
{
    if (busy || redoStates.empty()) return;
    OrganizerDocument next = std::move(redoStates.back());
    redoStates.pop_back();
    undoStates.push_back(std::move(playlist));
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
