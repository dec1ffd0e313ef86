#pragma once
#include <cstdint>
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
};

} // namespace zanto
