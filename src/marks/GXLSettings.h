#pragma once
#include <string>
#include <vector>

#include "marks/GXLPoint.h"

namespace zanto {

struct MarkerParameters;

// The settings of one telestration (GXL) mark: which tool draws it, its
// points, its colour and four numeric settings. A plain value, saved inside
// the mark's "gxl" key. Decoding takes any values of the right JSON types;
// validate() is what tells whether they may be rendered or saved.
struct GXLSettings {
    std::string tool;                              // one of tools()
    std::vector<GXLPoint> points;                  // 1...128 points, each 0...1
    std::vector<double> color{0.1, 0.6, 1.0, 1.0}; // red, green, blue, alpha 0...1
    double size = 90;                              // 10...400
    double perspective = 35;                       // 5...100
    double opacity = 85;                           // 0...100, percent
    double speed = 1;                              // 0...4

    bool operator==(const GXLSettings&) const = default;

    // The fifteen tool names, in the order the Organizer offers them. Built
    // once; safe against concurrent first use.
    static const std::vector<std::string>& tools();

    // True for the tools keyed to the turf: the name begins with "Ground" or
    // "Space" (case-sensitive).
    bool ground() const;

    // True when every field is within its range (bounds inclusive; NaN and
    // infinities fail). No side effects, no message.
    bool validate() const;

    // The settings of a new mark of a tool: default points by the tool's kind
    // of geometry, the preset's colour, size, perspective and speed (widened
    // from single precision as they are) and full opacity.
    static GXLSettings material(const std::string& tool);

    // The marker the renderer draws for these settings: the tool's preset
    // with the points (turned to a top-left origin), colour and numbers
    // applied. Call it on settings that pass validate().
    MarkerParameters parameters() const;

    // JSON object with the keys "tool", "points", "color", "size",
    // "perspective", "opacity", "speed", all required on reading.
    void encode(JsonWriter& writer) const;
    static GXLSettings decode(const JsonObjectReader& reader);
};

} // namespace zanto
