#pragma once
// Small playlist documents for tests: every kind of item, plain and
// telestration marks, optional fields both absent and present. Header-only so
// that only tests linking the playlist layer pull it in.
#include <string>
#include <vector>

#include "playlist/OrganizerDocument.h"

namespace zanto::test {

// The item ids of each row, row by row: how tests state where items ended up.
inline std::vector<std::vector<std::string>> idsOf(const OrganizerDocument& document)
{
    std::vector<std::vector<std::string>> result;
    for (const OrganizerRow& row : document.rows) {
        result.emplace_back();
        for (const OrganizerItem& item : row.items) result.back().push_back(item.id);
    }
    return result;
}

inline OrganizerSource sampleSource(const std::string& id, double offset = 0)
{
    OrganizerSource source;
    source.id = id;
    source.name = "Angle " + id;
    source.path = "/videos/" + id + ".mp4";
    source.offset = offset;
    return source;
}

inline OrganizerItem sampleItem(const std::string& id, const std::string& kind = "video",
                                const std::string& sourceID = "S1")
{
    OrganizerItem item;
    item.id = id;
    item.kind = kind;
    item.name = "Item " + id;
    item.start = 1;
    item.end = 4;
    item.sourceID = sourceID;
    item.sourceIDs = {sourceID};
    if (kind == "freeze") item.freezeTime = 2.5;
    return item;
}

inline GXLSettings sampleSettings(const std::string& tool = "Player Ring")
{
    GXLSettings settings;
    settings.tool = tool;
    settings.points = {GXLPoint{0.5, 0.45}, GXLPoint{0.25, 0.75}};
    settings.speed = static_cast<double>(0.35f);
    return settings;
}

inline OrganizerMark plainMark(const std::string& kind, double x = 0.2, double y = 0.3)
{
    OrganizerMark mark;
    mark.kind = kind;
    mark.x = x;
    mark.y = y;
    mark.x2 = 0.8;
    mark.y2 = 0.9;
    mark.text = kind == "text" ? "注目" : "";
    return mark;
}

inline OrganizerMark gxlMark(const GXLSettings& settings = sampleSettings())
{
    OrganizerMark mark = plainMark("gxl");
    mark.gxl = settings;
    return mark;
}

// A document that passes validation and uses every field of the model.
inline OrganizerDocument sampleDocument()
{
    OrganizerDocument document;
    document.title = "試合 / Match 1";
    document.sources = {sampleSource("S1", -1.5), sampleSource("S2", 12.25)};
    OrganizerRow first;
    first.id = "R1";
    first.name = "前半";
    first.items = {sampleItem("I1"), sampleItem("I2", "freeze", "S2"), sampleItem("I3", "title", "")};
    first.items[0].sourceIDs = {"S1", "S2"};
    first.items[0].labels = std::vector<std::string>{"攻撃", "Set piece"};
    first.items[0].marks = std::vector<OrganizerMark>{plainMark("arrow"), plainMark("circle"), gxlMark()};
    first.items[2].note = "line one\nline two\t\"quoted\"";
    first.items[2].marks = std::vector<OrganizerMark>{};
    OrganizerRow second;
    second.id = "R2";
    second.name = "後半";
    second.items = {sampleItem("I4", "image", ""), sampleItem("I5", "video", "S2")};
    second.items[0].imagePath = "/images/slide.png";
    second.items[0].labels = std::vector<std::string>{};
    second.items[1].enabled = false;
    second.items[1].marks = std::vector<OrganizerMark>{plainMark("text")};
    document.rows = {first, second};
    document.warnings = {"warning one"};
    return document;
}

} // namespace zanto::test
