#include "marks/GXLSettings.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "services/JsonCoding.h"

namespace zanto {
namespace {

bool within(double value, double low, double high)
{
    // A NaN fails both comparisons; infinities fail the finite bounds.
    return std::isfinite(value) && value >= low && value <= high;
}

bool pointsValid(const std::vector<GXLPoint>& points)
{
    if (points.empty() || points.size() > 128) return false;
    for (const GXLPoint& point : points)
        if (!within(point.x, 0, 1) || !within(point.y, 0, 1)) return false;
    return true;
}

bool colorValid(const std::vector<double>& color)
{
    if (color.size() != 4) return false;
    for (double component : color)
        if (!within(component, 0, 1)) return false;
    return true;
}

constexpr auto pointFields = std::tuple{jsonField("x", &GXLPoint::x), jsonField("y", &GXLPoint::y)};

constexpr auto settingsFields = std::tuple{
    jsonField("tool", &GXLSettings::tool),
    jsonField("points", &GXLSettings::points),
    jsonField("color", &GXLSettings::color),
    jsonField("size", &GXLSettings::size),
    jsonField("perspective", &GXLSettings::perspective),
    jsonField("opacity", &GXLSettings::opacity),
    jsonField("speed", &GXLSettings::speed),
};

} // namespace

void GXLPoint::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, pointFields);
}

GXLPoint GXLPoint::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, pointFields);
}

const std::vector<std::string>& GXLSettings::tools()
{
    static const std::vector<std::string> names{
        "Player Ring",  "Team Rings",    "Ring Trail",      "Lofted Arc",          "Spotlight",
        "Passing Lane", "Vision Cone",   "Team Fill",       "Ground Ring",         "Ground Team",
        "Space Circle", "Space Polygon", "Space Rectangle", "Ground Passing Lane", "Ground Vision",
    };
    return names;
}

bool GXLSettings::ground() const
{
    const std::string_view name(tool);
    return name.starts_with("Ground") || name.starts_with("Space");
}

bool GXLSettings::validate() const
{
    const std::vector<std::string>& names = tools();
    if (std::find(names.begin(), names.end(), tool) == names.end()) return false;
    return pointsValid(points) && colorValid(color) && within(size, 10, 400) && within(perspective, 5, 100)
           && within(opacity, 0, 100) && within(speed, 0, 4);
}

void GXLSettings::encode(JsonWriter& writer) const
{
    writeJsonObject(writer, *this, settingsFields);
}

GXLSettings GXLSettings::decode(const JsonObjectReader& reader)
{
    return readJsonObject(reader, settingsFields);
}

} // namespace zanto
