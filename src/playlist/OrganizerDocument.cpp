#include "playlist/OrganizerDocument.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

constexpr auto documentFields = std::tuple{
    jsonField("format", &OrganizerDocument::format),   jsonField("version", &OrganizerDocument::version),
    jsonField("title", &OrganizerDocument::title),     jsonField("sources", &OrganizerDocument::sources),
    jsonField("rows", &OrganizerDocument::rows),       jsonField("warnings", &OrganizerDocument::warnings),
};

} // namespace

void OrganizerDocument::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, documentFields);
}

OrganizerDocument OrganizerDocument::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, documentFields);
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
