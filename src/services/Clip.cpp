#include "services/Clip.h"

#include "services/JsonCoding.h"

namespace zanto {

void Clip::encode(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("start").number(start);
    writer.key("end").number(end);
    writer.key("name").text(name);
    writer.key("note").text(note);
    writer.key("labels").texts(labels);
    writer.endObject();
}

Clip Clip::decode(const JsonObjectReader& reader)
{
    return Clip{
        .start = reader.number("start"),
        .end = reader.number("end"),
        .name = reader.text("name"),
        .note = reader.text("note"),
        .labels = reader.texts("labels"),
    };
}

} // namespace zanto
