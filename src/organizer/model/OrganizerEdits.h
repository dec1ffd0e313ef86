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

#include <QJsonObject>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

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

// Row and item commands. Indexes outside the document leave it unchanged.

// A new empty row named `name` appended after the last one.
OrganizerDocument addingRow(const OrganizerDocument& document, std::string name);
OrganizerDocument renamingRow(const OrganizerDocument& document, int row, std::string name);
// The row with all its items gone; its sources stay.
OrganizerDocument removingRow(const OrganizerDocument& document, int row);
// Rows `row` and `row + step` swapped.
OrganizerDocument movingRow(const OrganizerDocument& document, int row, int step);
// `items` inserted into `row` at `position` (clamped to the row's end).
OrganizerDocument insertingItems(const OrganizerDocument& document, int row, int position,
                                 const std::vector<OrganizerItem>& items);
// Copies under new ids of the items of `row` at `indexes`, in ascending
// order, appended at the end of the row.
OrganizerDocument duplicatingItems(const OrganizerDocument& document, int row, const std::set<int>& indexes);
// The items of `row` at `indexes` removed.
OrganizerDocument removingItemsAt(const OrganizerDocument& document, int row, const std::set<int>& indexes);

// A title card or slide of three seconds named `name`.
OrganizerItem titleItem(std::string name);
// An image slide of the picture at `path`, named after the file without its
// last extension.
OrganizerItem imageItem(const std::string& path);

// A JSON number that converts exactly to a 64-bit signed integer (3 and 3.0
// do; 1.5, text, booleans and numbers out of range do not). Integer literals
// are read exactly when the JSON text was parsed by Qt, which keeps them.
std::optional<std::int64_t> exactInteger(const QJsonValue& value);

// What an append from the page makes: the document with the new sources and
// items, and how many items arrived.
struct Appended {
    OrganizerDocument document;
    int items = 0;
};

// The page's "append" body taken into `document`: each usable entry of
// "sources" becomes a new source (named "<title> / <angle>", linked to the
// newest file of `media` that matches its name and exact byte size, else
// unlinked), each usable entry of "clips" a new video item of all those
// sources at the end of `row`. Entries lacking a required key, or holding it
// with the wrong type, are skipped. None when "sources" or "clips" is not a
// list of objects. The result is not validated.
std::optional<Appended> appending(const OrganizerDocument& document, int row, const QJsonObject& body,
                                  const std::vector<std::filesystem::path>& media);

// Drawing: marks of one item and materials cut from videos.

// The item with `id` holding `marks` (a present list, possibly empty); the
// document unchanged when no item has that id.
OrganizerDocument settingMarks(const OrganizerDocument& document, const std::string& id,
                               std::vector<OrganizerMark> marks);

// The freeze time of a still cut from `video` with the player at
// `playerSeconds` (file time; not finite for none) over a source `offset`:
// never before the start, never in the clip's last thirtieth of a second.
double freezeTime(const OrganizerItem& video, double playerSeconds, double offset);

// The 5-second still of `video` at `freezeTime`, under `id`.
OrganizerItem freezeOf(const OrganizerItem& video, double freezeTime, std::string id);

// The video item of `freeze.sourceID` named by `videoId` replaced by its head
// up to the freeze time (kept only when it lasts over a millisecond, under the
// video's id), `freeze`, and its tail from the freeze time (only when there
// is one, under `tailId`). The document unchanged when no item has `videoId`.
OrganizerDocument cuttingFreeze(const OrganizerDocument& document, const std::string& videoId,
                                const OrganizerItem& freeze, const std::string& tailId);

// A new mark of `tool` with its default shape and style.
OrganizerMark materialMark(const std::string& tool);

// `mark` appended to the marks of the item with `id`. Throws
// "1枚の静止画の素材は12個までです。" when that item holds 12 telestration
// marks already (plain marks do not count).
OrganizerDocument addingMaterial(const OrganizerDocument& document, const std::string& id, const OrganizerMark& mark);

} // namespace edits
} // namespace zanto
