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

    // The playlist holds changes that are saved nowhere but in the recovery file.
    bool changed() const { return changed_; }
    const std::optional<OrganizerDocument>& historyState() const { return historyState_; }
    // historyState()'s compact JSON; none when it cannot be encoded.
    const std::optional<std::string>& historyBytes() const { return historyBytes_; }
    // Ends an edit: one undo snapshot (at most undoLimit, redo cleared) when the
    // document's JSON changed, `changed` set. Returns the playlist's bytes,
    // none when it cannot be encoded.
    std::optional<std::string> persist();
    // Steps back or forward; false, changing nothing, when there is no step.
    bool undo();
    bool redo();
    // Starts over with `document` and no history: an opened document counts
    // as saved; a new one, or work recovered unsaved, as changed.
    enum class Start { saved, changed };
    void open(OrganizerDocument document, Start start = Start::saved);
    // The playlist as it stands was saved.
    void saved() { changed_ = false; }

private:
    // Makes the current playlist the state the next edit is measured from.
    void settle();
    bool step(std::vector<OrganizerDocument>& from, std::vector<OrganizerDocument>& to);

    bool changed_ = false;

    std::optional<OrganizerDocument> historyState_;
    std::optional<std::string> historyBytes_;
};

// Compact JSON bytes of a document, or nothing when it cannot be encoded.
std::optional<std::string> organizerDocumentBytes(const OrganizerDocument& document);

} // namespace zanto
