#include "playlist/OrganizerItem.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

// freezeTime, marks and labels are optional: written only when present.
constexpr auto itemFields = std::tuple{
    jsonField("id", &OrganizerItem::id),
    jsonField("kind", &OrganizerItem::kind),
    jsonField("freezeTime", &OrganizerItem::freezeTime),
    jsonField("name", &OrganizerItem::name),
    jsonField("note", &OrganizerItem::note),
    jsonField("start", &OrganizerItem::start),
    jsonField("end", &OrganizerItem::end),
    jsonField("sourceIDs", &OrganizerItem::sourceIDs),
    jsonField("sourceID", &OrganizerItem::sourceID),
    jsonField("imagePath", &OrganizerItem::imagePath),
    jsonField("enabled", &OrganizerItem::enabled),
    jsonField("marks", &OrganizerItem::marks),
    jsonField("labels", &OrganizerItem::labels),
};

} // namespace

void OrganizerItem::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, itemFields);
}

OrganizerItem OrganizerItem::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, itemFields);
}

} // namespace zanto
