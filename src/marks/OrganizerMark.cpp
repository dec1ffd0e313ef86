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
    if (gxl)
        writer.key("gxl").encoded(*gxl);
    writer.endObject();
}

OrganizerMark OrganizerMark::decode(const JsonObjectReader& reader)
{
    return OrganizerMark{
        .kind = reader.text("kind"),
        .x = reader.number("x"),
        .y = reader.number("y"),
        .x2 = reader.number("x2"),
        .y2 = reader.number("y2"),
        .text = reader.text("text"),
        .gxl = reader.has("gxl") ? std::optional(reader.decoded<GXLSettings>("gxl")) : std::nullopt,
    };
}

} // namespace zanto
