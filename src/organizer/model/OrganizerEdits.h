#pragma once
// The document edits of the Organizer, as pure functions: each takes a
// document (and ids, indexes, values) and returns the edited copy, or throws
// ExportFailure with the user's message when the edit cannot be made. None
// touches a window, the undo history or the recovery file; Organizer::commit()
// validates what they return and makes it the playlist.
//
// Adding an edit: declare `OrganizerDocument <verb>...(const OrganizerDocument&, ...)`
// here, define it in OrganizerEdits.cpp, add a table row to
// tests/organizer/model/OrganizerEditsTest.cpp, and a row {name, edit} to the
// undo table in tests/organizer/OrganizerUndoTest.cpp.
#include "playlist/OrganizerDocument.h"

#include <optional>
#include <set>
#include <string>

namespace zanto {

// Where an item lies: its row and its index in that row.
struct OrganizerItemPlace {
    int row = 0;
    int index = 0;
    bool operator==(const OrganizerItemPlace&) const = default;
};

namespace edits {

// The place of the item with `id`, or none.
std::optional<OrganizerItemPlace> findItem(const OrganizerDocument& document, const std::string& id);

// The message with which `candidate` is refused as the next playlist
// ("未対応のプレイリストです。" and the like), or none when it may stand.
std::optional<std::string> refusal(const OrganizerDocument& candidate);

// The document under a new title.
OrganizerDocument retitled(const OrganizerDocument& document, std::string title);

// The item with `item.id` replaced by `item`; the document unchanged when no
// item has that id.
OrganizerDocument replacingItem(const OrganizerDocument& document, const OrganizerItem& item);

// The items of `row` with the given ids removed; other rows unchanged.
OrganizerDocument removingItems(const OrganizerDocument& document, int row, const std::set<std::string>& ids);

} // namespace edits
} // namespace zanto
