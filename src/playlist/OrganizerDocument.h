#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/OrganizerItem.h"
#include "playlist/OrganizerRow.h"
#include "playlist/OrganizerSource.h"

namespace zanto {

// The whole playlist as one plain value: copied whole for undo snapshots,
// recovery and background saves and exports. Construction and reading accept
// any values; validate() enforces the rules before save, load and export.
struct OrganizerDocument {
    std::string format = "zantorix-playlist";
    std::int64_t version = 1;
    std::string title = "新しいプレイリスト";
    std::vector<OrganizerSource> sources;
    // A new document has one empty row "レビュー" with a fresh identifier.
    std::vector<OrganizerRow> rows{OrganizerRow{.id = newIdentifier(), .name = "レビュー", .items = {}}};
    std::vector<std::string> warnings;

    bool operator==(const OrganizerDocument&) const = default;

    // The first source with this id, or none; the pointer lives as long as
    // `sources` is not resized.
    const OrganizerSource* source(std::string_view id) const;
    OrganizerSource* source(std::string_view id);

    // Returns normally for a playable document; otherwise throws ExportFailure
    // with "未対応のプレイリストです。" (format, version, row and source
    // limits, duplicate source ids) or "プレイリストの区間または映像の参照が不正です。"
    // (items, times, references, marks). Changes nothing; any thread.
    void validate() const;

    // Compact JSON, keys in field order; equal documents give equal bytes.
    // Throws EncodingError when a number is not finite.
    std::string toJson() const;
    // Throws DecodingError (with the JSON path) for malformed or incomplete
    // JSON; does not validate.
    static OrganizerDocument fromJson(std::string_view text);

    void encode(JsonWriter& writer) const;
    static OrganizerDocument decode(const JsonObjectReader& reader);

    // ---- Playlist packages: a folder with "playlist.json" and "media/".
    // Both run synchronously on the caller's thread. Failures throw
    // ExportFailure with its finished message, DecodingError, or the OS's
    // std::system_error (a UserFileError: its code, and a Japanese text
    // naming the location given, never a hidden work folder).

    // Opens a package (or imports a Sportscode playlist when the extension is
    // "scplaylist" in any case): validated, with "media/" paths made absolute.
    static OrganizerDocument read(const std::filesystem::path& location);
    // Saves to `destination` through a hidden sibling folder swapped into
    // place; copies the sources' videos in when `embed`, image files always.
    // Files already inside the destination's own "media/" move on under
    // their names whatever `embed` says; a linked file elsewhere inside the
    // package being replaced is embedded rather than deleted with it. The
    // document itself is not changed.
    void write(const std::filesystem::path& destination, bool embed) const;
    // One stored path of the package at `package` made usable: "media/..."
    // becomes an absolute path, which must stay inside the package's "media/"
    // ("不正な素材パスです。"); any other path comes back unchanged.
    static std::string resolve(const std::filesystem::path& package, const std::string& storedPath);
    // The save in progress; defined with write().
    struct PackageWrite;
    // One file copied into the package being written; returns the path to store.
    static std::string material(const std::string& path, bool required, PackageWrite& package);
    // Imports the Sportscode playlist folder `package` as a new unsaved
    // document with unlinked sources and three warnings.
    static OrganizerDocument sportscode(const std::filesystem::path& package);
    // read() and write() before their failures are retold for the user.
    static OrganizerDocument readPackage(const std::filesystem::path& location);
    static OrganizerDocument readSportscode(const std::filesystem::path& package);
    void writePackage(const std::filesystem::path& destination, bool embed) const;
};

} // namespace zanto
