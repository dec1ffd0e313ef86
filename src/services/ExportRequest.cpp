#include "services/ExportRequest.h"

#include "services/JsonCoding.h"

namespace zanto {
namespace {

using Source = ExportRequest::Source;

constexpr auto sourceFields = std::tuple{
    jsonField("name", &Source::name),
    jsonField("size", &Source::size),
    jsonField("duration", &Source::duration),
};

constexpr auto requestFields = std::tuple{
    jsonField("id", &ExportRequest::id),       jsonField("mode", &ExportRequest::mode),
    jsonField("title", &ExportRequest::title), jsonField("source", &ExportRequest::source),
    jsonField("clips", &ExportRequest::clips),
};

} // namespace

void ExportRequest::Source::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, sourceFields);
}

ExportRequest::Source ExportRequest::Source::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, sourceFields);
}

void ExportRequest::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, requestFields);
}

ExportRequest ExportRequest::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, requestFields);
}

} // namespace zanto
