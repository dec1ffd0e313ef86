#include "marks/OrganizerMark.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

constexpr auto markFields = std::tuple{
    jsonField("kind", &OrganizerMark::kind), jsonField("x", &OrganizerMark::x),
    jsonField("y", &OrganizerMark::y),       jsonField("x2", &OrganizerMark::x2),
    jsonField("y2", &OrganizerMark::y2),     jsonField("text", &OrganizerMark::text),
    jsonField("gxl", &OrganizerMark::gxl),
};

} // namespace

void OrganizerMark::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, markFields);
}

OrganizerMark OrganizerMark::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, markFields);
}

} // namespace zanto
