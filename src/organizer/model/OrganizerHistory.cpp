#include "organizer/model/OrganizerHistory.h"

namespace zanto {

std::optional<std::string> organizerDocumentBytes(const OrganizerDocument& document)
{
    try {
        return document.toJson();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void OrganizerHistory::settle()
{
    historyState_ = playlist;
    historyBytes_ = organizerDocumentBytes(playlist);
}

std::optional<std::string> OrganizerHistory::persist()
{
    // Encoded once: the same bytes decide the undo step and go to the file.
    std::optional<std::string> bytes = organizerDocumentBytes(playlist);
    if (historyState_ && historyBytes_ != bytes) {
        undoStates.push_back(std::move(*historyState_));
        if (undoStates.size() > undoLimit) undoStates.erase(undoStates.begin());
        redoStates.clear();
    }
    historyState_ = playlist;
    historyBytes_ = bytes;
    changed_ = true;
    return bytes;
}

bool OrganizerHistory::undo()
{
    return step(undoStates, redoStates);
}

// Redo entries all came from undo steps, so the undo stack cannot pass its
// limit this way.
bool OrganizerHistory::redo()
{
    return step(redoStates, undoStates);
}

bool OrganizerHistory::step(std::vector<OrganizerDocument>& from, std::vector<OrganizerDocument>& to)
{
    if (from.empty()) return false;
    OrganizerDocument next = std::move(from.back());
    from.pop_back();
    to.push_back(std::move(playlist));
    playlist = std::move(next);
    settle();
    changed_ = true;
    return true;
}

void OrganizerHistory::open(OrganizerDocument document, Start start)
{
    playlist = std::move(document);
    undoStates.clear();
    redoStates.clear();
    settle();
    changed_ = start == Start::changed;
}

} // namespace zanto
