#include "playlist/OrganizerDocument.h"

#include "services/JsonCoding.h"

#include <algorithm>
#include <utility>

namespace zanto {
namespace {

constexpr auto documentFields = std::tuple{
    jsonField("format", &OrganizerDocument::format), jsonField("version", &OrganizerDocument::version),
    jsonField("title", &OrganizerDocument::title),   jsonField("sources", &OrganizerDocument::sources),
    jsonField("rows", &OrganizerDocument::rows),     jsonField("warnings", &OrganizerDocument::warnings),
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

const OrganizerSource* OrganizerDocument::source(std::string_view id) const
{
    const auto found =
        std::find_if(sources.begin(), sources.end(), [&](const OrganizerSource& each) { return each.id == id; });
    return found == sources.end() ? nullptr : &*found;
}

OrganizerSource* OrganizerDocument::source(std::string_view id)
{
    return const_cast<OrganizerSource*>(std::as_const(*this).source(id));
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
