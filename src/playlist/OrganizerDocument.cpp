#include "playlist/OrganizerDocument.h"

#include "services/JsonCoding.h"

namespace zanto {

void OrganizerDocument::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("format").text(format);
    writer.key("version").integer(version);
    writer.key("title").text(title);
    writer.key("sources").beginArray();
    for (const OrganizerSource& source : sources)
        source.encode(writer);
    writer.endArray();
    writer.key("rows").beginArray();
    for (const OrganizerRow& row : rows)
        row.encode(writer);
    writer.endArray();
    writer.key("warnings").texts(warnings);
    writer.endObject();
}

OrganizerDocument OrganizerDocument::decode(const JsonObjectReader& reader)
{
    OrganizerDocument document{
        .format = reader.text("format"),
        .version = reader.integer("version"),
        .title = reader.text("title"),
        .sources = {},
        .rows = {},
        .warnings = {},
    };
    reader.objects("sources", [&](const JsonObjectReader& source) {
        document.sources.push_back(OrganizerSource::decode(source));
    });
    reader.objects("rows", [&](const JsonObjectReader& row) { document.rows.push_back(OrganizerRow::decode(row)); });
    document.warnings = reader.texts("warnings");
    return document;
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
