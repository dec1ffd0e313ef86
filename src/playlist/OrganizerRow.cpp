#include "playlist/OrganizerRow.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

constexpr auto rowFields = std::tuple{
    jsonField("id", &OrganizerRow::id),
    jsonField("name", &OrganizerRow::name),
    jsonField("items", &OrganizerRow::items),
};

} // namespace

void OrganizerRow::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, rowFields);
}

OrganizerRow OrganizerRow::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, rowFields);
}

} // namespace zanto
