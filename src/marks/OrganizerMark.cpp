#include "marks/OrganizerMark.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerMark::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("kind").text(kind);
    writer.key("x").number(x);
    writer.key("y").number(y);
    writer.key("x2").number(x2);
    writer.key("y2").number(y2);
    writer.key("text").text(text);
    if (gxl) {
        writer.key("gxl");
        gxl->encode(writer);
    }
    writer.endObject();
}

OrganizerMark OrganizerMark::decode(const JsonObjectReader& reader)
{
    OrganizerMark mark{
        .kind = reader.text("kind"),
        .x = reader.number("x"),
        .y = reader.number("y"),
        .x2 = reader.number("x2"),
        .y2 = reader.number("y2"),
        .text = reader.text("text"),
        .gxl = std::nullopt,
    };
    if (reader.has("gxl"))
        mark.gxl = GXLSettings::decode(reader.object("gxl"));
    return mark;
}

} // namespace zanto
