#include "playlist/OrganizerSource.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerSource::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("id").text(id);
    writer.key("name").text(name);
    writer.key("path").text(path);
    writer.key("offset").number(offset);
    writer.endObject();
}

OrganizerSource OrganizerSource::decode(const JsonObjectReader& reader)
{
    return OrganizerSource{
        .id = reader.text("id"),
        .name = reader.text("name"),
        .path = reader.text("path"),
        .offset = reader.number("offset"),
    };
}

} // namespace zanto
