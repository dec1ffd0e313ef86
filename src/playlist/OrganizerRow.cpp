#include "playlist/OrganizerRow.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerRow::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("id").text(id);
    writer.key("name").text(name);
    writer.key("items").beginArray();
    for (const OrganizerItem& item : items)
        item.encode(writer);
    writer.endArray();
    writer.endObject();
}

OrganizerRow OrganizerRow::decode(const JsonObjectReader& reader)
{
    OrganizerRow row{.id = reader.text("id"), .name = reader.text("name"), .items = {}};
    reader.objects("items", [&](const JsonObjectReader& item) { row.items.push_back(OrganizerItem::decode(item)); });
    return row;
}

} // namespace zanto
