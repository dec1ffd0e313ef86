#pragma once
#include "playlist/OrganizerDocument.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zanto {

// The document being edited and its undo history. `historyState` is the
// document as of the last edit that ended; it is kept with its encoded bytes
// so that ending an edit encodes only the new document. Any thread, one at a time.
class OrganizerHistory {
public:
    static constexpr std::size_t undoLimit = 50;

    OrganizerDocument playlist;
    std::vector<OrganizerDocument> undoStates;
    std::vector<OrganizerDocument> redoStates;
    bool changed = false;

    const std::optional<OrganizerDocument>& historyState() const { return historyState_; }

    // Makes the current playlist the state the next edit is measured from.
    void settle();
    // Ends an edit: one undo snapshot (at most undoLimit, redo cleared) when the
    // document's JSON changed, `changed` set. Returns the playlist's bytes,
    // none when it cannot be encoded.
    std::optional<std::string> persist();
    // Steps back or forward; false, changing nothing, when there is no step.
    bool undo();
    bool redo();
    // Starts over with an opened document: no history, nothing changed.
    void open(OrganizerDocument document);

private:
    bool step(std::vector<OrganizerDocument>& from, std::vector<OrganizerDocument>& to);

    std::optional<OrganizerDocument> historyState_;
    std::optional<std::string> historyBytes_;
};

// Compact JSON bytes of a document, or nothing when it cannot be encoded.
std::optional<std::string> organizerDocumentBytes(const OrganizerDocument& document);

} // namespace zanto
