#pragma once
#include <optional>
#include <string>
#include <vector>

#include "marks/OrganizerMark.h"
#include "platform/Identifier.h"

namespace zanto {

// One entry of a row: a span of video, a freeze frame, a title slide or a
// still image. Absent and empty differ for `freezeTime`, `marks` and
// `labels`: an absent one writes no key, an empty list writes [].
// The model types are aggregates: build one by default construction and
// assignment, or with a designated initialiser naming only what differs from
// the defaults.
struct OrganizerItem {
    std::string id = newIdentifier();
    std::string kind = "video";       // "video", "title", "image" or "freeze"
    std::optional<double> freezeTime; // seconds, before the source offset
    std::string name;
    std::string note;
    double start = 0; // seconds
    double end = 3;   // seconds
    std::vector<std::string> sourceIDs;
    std::string sourceID;
    std::string imagePath;
    bool enabled = true;
    std::optional<std::vector<OrganizerMark>> marks;
    std::optional<std::vector<std::string>> labels;

    bool operator==(const OrganizerItem&) const = default;

    void encode(JsonWriter& writer) const;
    static OrganizerItem decode(const JsonObjectReader& reader);
};

} // namespace zanto
