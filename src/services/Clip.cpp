#include "services/Clip.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

constexpr auto clipFields = std::tuple{
    jsonField("start", &Clip::start), jsonField("end", &Clip::end),       jsonField("name", &Clip::name),
    jsonField("note", &Clip::note),   jsonField("labels", &Clip::labels),
};

} // namespace

void Clip::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, clipFields);
}

Clip Clip::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, clipFields);
}

} // namespace zanto
