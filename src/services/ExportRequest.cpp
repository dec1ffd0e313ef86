#include "services/ExportRequest.h"

#include "services/JsonCoding.h"

namespace zanto {

void ExportRequest::Source::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("name").text(name);
    writer.key("size").integer(size);
    writer.key("duration").number(duration);
    writer.endObject();
}

ExportRequest::Source ExportRequest::Source::decode(const JsonObjectReader& reader)
{
    return Source{
        .name = reader.text("name"),
        .size = reader.integer("size"),
        .duration = reader.number("duration"),
    };
}

void ExportRequest::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("id").text(id);
    writer.key("mode").text(mode);
    writer.key("title").text(title);
    writer.key("source").encoded(source);
    writer.key("clips").encodedList(clips);
    writer.endObject();
}

ExportRequest ExportRequest::decode(const JsonObjectReader& reader)
{
    return ExportRequest{
        .id = reader.text("id"),
        .mode = reader.text("mode"),
        .title = reader.text("title"),
        .source = reader.decoded<Source>("source"),
        .clips = reader.decodedList<Clip>("clips"),
    };
}

} // namespace zanto
