#pragma once
#include <optional>
#include <string>

#include "marks/GXLSettings.h"

namespace zanto {

// One drawing on a playlist item: an arrow, a circle (the ellipse inscribed in
// the rectangle of its two points), a line of text at (x, y), or a telestration
// mark. Coordinates are normalised over the 16:9 picture, origin at the bottom
// left. A mark is a telestration mark when `gxl` is present, whatever its kind.
struct OrganizerMark {
    std::string kind; // "arrow", "circle", "text" or "gxl"
    double x = 0;
    double y = 0;
    double x2 = 0;
    double y2 = 0;
    std::string text;
    std::optional<GXLSettings> gxl;

    bool operator==(const OrganizerMark&) const = default;

    // JSON keys "kind", "x", "y", "x2", "y2", "text" (all required) and "gxl"
    // (written only when present; missing or null reads as absent).
    void encode(JsonWriter& writer) const;
    static OrganizerMark decode(const JsonObjectReader& reader);
};

} // namespace zanto
