#include "playlist/OrganizerDocument.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerDocument::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("format").text(format);
    writer.key("version").integer(version);
    writer.key("title").text(title);
    writer.key("sources").encodedList(sources);
    writer.key("rows").encodedList(rows);
    writer.key("warnings").texts(warnings);
    writer.endObject();
}

OrganizerDocument OrganizerDocument::decode(const JsonObjectReader& reader)
{
    return OrganizerDocument{
        .format = reader.text("format"),
        .version = reader.integer("version"),
        .title = reader.text("title"),
        .sources = reader.decodedList<OrganizerSource>("sources"),
        .rows = reader.decodedList<OrganizerRow>("rows"),
        .warnings = reader.texts("warnings"),
    };
}

std::string OrganizerDocument::toJson() const
{
    return encodeJson(*this);
}

OrganizerDocument OrganizerDocument::fromJson(std::string_view text)
{
    return decodeJson<OrganizerDocument>(text);
}

} // namespace zanto
