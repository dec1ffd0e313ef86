#include "playlist/OrganizerItem.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerItem::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("id").text(id);
    writer.key("kind").text(kind);
    if (freezeTime)
        writer.key("freezeTime").number(*freezeTime);
    writer.key("name").text(name);
    writer.key("note").text(note);
    writer.key("start").number(start);
    writer.key("end").number(end);
    writer.key("sourceIDs").texts(sourceIDs);
    writer.key("sourceID").text(sourceID);
    writer.key("imagePath").text(imagePath);
    writer.key("enabled").boolean(enabled);
    if (marks)
        writer.key("marks").encodedList(*marks);
    if (labels)
        writer.key("labels").texts(*labels);
    writer.endObject();
}

OrganizerItem OrganizerItem::decode(const JsonObjectReader& reader)
{
    return OrganizerItem{
        .id = reader.text("id"),
        .kind = reader.text("kind"),
        .freezeTime = reader.optionalNumber("freezeTime"),
        .name = reader.text("name"),
        .note = reader.text("note"),
        .start = reader.number("start"),
        .end = reader.number("end"),
        .sourceIDs = reader.texts("sourceIDs"),
        .sourceID = reader.text("sourceID"),
        .imagePath = reader.text("imagePath"),
        .enabled = reader.boolean("enabled"),
        .marks = reader.has("marks") ? std::optional(reader.decodedList<OrganizerMark>("marks")) : std::nullopt,
        .labels = reader.optionalTexts("labels"),
    };
}

} // namespace zanto
