#include "playlist/OrganizerRow.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerRow::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("id").text(id);
    writer.key("name").text(name);
    writer.key("items").encodedList(items);
    writer.endObject();
}

OrganizerRow OrganizerRow::decode(const JsonObjectReader& reader)
{
    return OrganizerRow{
        .id = reader.text("id"),
        .name = reader.text("name"),
        .items = reader.decodedList<OrganizerItem>("items"),
    };
}

} // namespace zanto
