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
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
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
// The item with `id`, or none; the pointer lives as long as its row is not resized.
const OrganizerItem* itemWithId(const OrganizerDocument& document, const std::string& id);

// The message with which `candidate` is refused as the next playlist
// ("未対応のプレイリストです。" and the like), or none when it may stand.
std::optional<std::string> refusal(const OrganizerDocument& candidate);

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
// Copies under new ids of the items of `row` with the given ids, in their
// row order, appended at the end of the row.
OrganizerDocument duplicatingItems(const OrganizerDocument& document, int row, const std::set<std::string>& ids);

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

// --- Timeline and inspector edits ---

// The latest end an item may have: ten days.
inline constexpr double organizerLatestEnd = 864000;
// The shortest item a trim leaves.
inline constexpr double organizerShortestItem = 0.04;
// How far a video item's end may pass its movie's end.
inline constexpr double organizerSourceTolerance = 0.02;

// The duration in seconds of the movie at a path; none when it cannot be read.
using OrganizerDurationReader = std::function<std::optional<double>(const std::string& path)>;

// A move of items on the timeline: the document, and where the moved block
// now starts in its row and how many items it holds.
struct OrganizerMove {
    OrganizerDocument document;
    int insertion = 0;
    int count = 0;
};

// An item's fields as typed into the inspector.
struct OrganizerItemFields {
    QString name;
    QString note;
    QString labels;
    QString start;
    QString end;
    bool enabled = true;
};

// The message of apply() for times that are not a valid range.
inline const char* const organizerInvalidSecondsMessage = "開始・終了は有効な秒数を指定してください。";

namespace edits {

// Whether item times `start`..`end` fall outside the item's movie (start plus
// offset below 0, end plus offset past the duration and its tolerance).
// Only video items with a linked source whose duration reads are tested.
bool leavesSource(const OrganizerDocument& document, const OrganizerItem& item, double start, double end,
                  const OrganizerDurationReader& duration);

// The items with the given ids, all of one row, moved in their row order as
// one block to row `to` before position `at` (counted in `to` as it was
// before the move). None when an id is not there, the ids lie in several
// rows or `to` is not a row.
std::optional<OrganizerMove> movingItems(const OrganizerDocument& document, const std::set<std::string>& ids, int to,
                                         int at);

// The item with `id` with a new start and end, the end capped at the latest
// end. None, silently, for an id that is not there and for times that are
// not finite, a start below 0 or not below the capped end. Throws
// ExportFailure "元動画の範囲を超えるため変更できません。" when the range
// leaves the video item's movie.
std::optional<OrganizerDocument> trimmingItem(const OrganizerDocument& document, const std::string& id, double start,
                                              double end, const OrganizerDurationReader& duration);

// Seconds typed into a field: an optional sign, digits with an optional point
// and an optional exponent, nothing else, finite. The C locale's reading
// whatever locale the process runs under; -0 reads as 0.
std::optional<double> parseSeconds(const QString& text);

// The labels of a labels field: pieces between ASCII commas, trimmed of
// space separators and tabs (never of line breaks), empty pieces dropped.
std::vector<std::string> splitLabels(const QString& text);

// The item with `id` holding the typed fields. Throws ExportFailure with
// organizerInvalidSecondsMessage for an id that is not there and for times
// that are not a range within 0..864000, and "映像の範囲外です。" for a
// range that leaves the movie.
OrganizerDocument applyingFields(const OrganizerDocument& document, const std::string& id,
                                 const OrganizerItemFields& fields, const OrganizerDurationReader& duration);

// The item with `id` showing the source `sourceID`.
OrganizerDocument choosingAngle(const OrganizerDocument& document, const std::string& id, const std::string& sourceID);

// The source `id` with a new path, or a new offset, for every item that uses it.
OrganizerDocument relinkingSource(const OrganizerDocument& document, const std::string& id, const std::string& path);
OrganizerDocument offsettingSource(const OrganizerDocument& document, const std::string& id, double offset);

} // namespace edits

// --- End of timeline and inspector edits ---
} // namespace zanto
