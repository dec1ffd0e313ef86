#pragma once

namespace zanto {

class JsonObjectReader;
class JsonWriter;

// One point of a telestration tool, normalised over the 16:9 picture with the
// origin at the bottom left and y growing upward (like a mark's own points).
struct GXLPoint {
    double x = 0;
    double y = 0;

    bool operator==(const GXLPoint&) const = default;

    // JSON {"x": number, "y": number}; both keys required.
    void encode(JsonWriter& writer) const;
    static GXLPoint decode(const JsonObjectReader& reader);
};

} // namespace zanto
