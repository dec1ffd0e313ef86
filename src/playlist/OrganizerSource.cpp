#include "playlist/OrganizerSource.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

constexpr auto sourceFields = std::tuple{
    jsonField("id", &OrganizerSource::id),
    jsonField("name", &OrganizerSource::name),
    jsonField("path", &OrganizerSource::path),
    jsonField("offset", &OrganizerSource::offset),
};

} // namespace

void OrganizerSource::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, sourceFields);
}

OrganizerSource OrganizerSource::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, sourceFields);
}

} // namespace zanto
