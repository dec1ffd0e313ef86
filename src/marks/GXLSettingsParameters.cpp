// GXLSettings <-> marker parameters: the settings of a new mark from its
// tool's preset, and the marker the renderer draws for a saved mark.
// Settings are double precision, parameters single: values narrow on the way
// in and preset values widen unchanged on the way out (a new mark's speed
// 0.35f is saved as 0.3499999940395355).

#include "marks/GXLPreset.h"
#include "marks/GXLSettings.h"
#include "marks/MarkerParameters.h"

#include <algorithm>

namespace zanto {

namespace {

bool isOneOf(const std::string& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

bool contains(const std::string& name, const char* part)
{
    return name.find(part) != std::string::npos;
}

std::vector<GXLPoint> newMarkPoints(const std::string& tool)
{
    if (isOneOf(tool, {"Player Ring", "Ground Ring", "Spotlight", "Space Circle", "Space Rectangle"})) {
        return {{0.5, 0.45}};
    }
    if (isOneOf(tool, {"Team Rings", "Ground Team", "Team Fill", "Space Polygon"})) {
        return {{0.35, 0.35}, {0.65, 0.35}, {0.6, 0.6}, {0.4, 0.6}};
    }
    return {{0.35, 0.4}, {0.65, 0.55}};
}

Float4 newMarkColor(const std::string& tool, const MarkerParameters& preset)
{
    if (tool == "Lofted Arc") return preset.arrowColor;
    if (contains(tool, "Lane") || contains(tool, "Vision") || contains(tool, "Space")) return preset.tacticalColor;
    return preset.color1;
}

// A mark point in the renderer's space: origin top left, y down.
Float2 rendererPoint(const GXLPoint& point)
{
    return {static_cast<float>(point.x), static_cast<float>(1 - point.y)};
}

// Ratios are taken in double precision and narrowed before they scale a
// single-precision preset value.
float ratio(double value, double reference)
{
    return static_cast<float>(value / reference);
}

// The "Ring Trail" state: header, 128 point slots in the marks' own
// bottom-left space (the packing flips them), and the tail.
std::vector<float> trailState(const GXLSettings& s, Float4 color)
{
    std::vector<float> state(523, 0.0f);
    state[0] = 16 * ratio(s.size, 75);
    state[1] = static_cast<float>(s.opacity);
    state[2] = 10;
    state[3] = 0;
    state[4] = color.x;
    state[5] = color.y;
    state[6] = color.z;
    state[7] = 1;
    const std::size_t used = std::min<std::size_t>(s.points.size(), trailSlotCount);
    for (std::size_t i = 0; i < used; ++i) {
        state[8 + 4 * i] = static_cast<float>(s.points[i].x);
        state[9 + 4 * i] = static_cast<float>(s.points[i].y);
        state[10 + 4 * i] = 1;
        state[11 + 4 * i] = 1;
    }
    state[520] = 2;
    state[521] = 45;
    state[522] = 85;
    return state;
}

void applyToolRules(const GXLSettings& s, const MarkerParameters& q, const std::vector<Float2>& m, MarkerParameters& p)
{
    const std::string& n = s.tool;
    if (isOneOf(n, {"Team Rings", "Ground Team", "Team Fill"})) {
        p.multipleRings = true;
    } else if (n == "Lofted Arc") {
        p.opacity = 0;
        p.arrowMode = 4;
        p.arcHeight = q.arcHeight;
        p.arrowWidth = q.arrowWidth * ratio(s.size, std::max(1.0, static_cast<double>(q.size)));
    } else if (n == "Spotlight") {
        p.ringStyle = 6;
    } else if (isOneOf(n, {"Passing Lane", "Ground Passing Lane"})) {
        p.ringStyle = 3;
        p.spaceMode = 5;
        p.corridorWidth = 180 * ratio(s.size, 75);
    } else if (isOneOf(n, {"Vision Cone", "Ground Vision"})) {
        p.ringStyle = 3;
        p.spaceMode = 4;
        p.visionAngle = 65;
        p.visionPerspective = static_cast<float>(s.perspective);
    } else if (isOneOf(n, {"Space Circle", "Space Rectangle"})) {
        p.ringStyle = 3;
        p.spaceMode = n == "Space Circle" ? 1 : 2;
        p.spaceWidth = q.spaceWidth * ratio(s.size, 75);
        p.spaceHeight = q.spaceHeight * ratio(s.perspective, 15);
    } else if (n == "Space Polygon") {
        p.ringStyle = 3;
        p.spaceMode = 3;
        p.lineMode = 2;
    } else if (n == "Ring Trail") {
        if (!m.empty()) p.position = m.back();
        p.multipleRings = false;
        p.lineMode = 0;
        p.trailState = trailState(s, p.color1);
    }
}

} // namespace

GXLSettings GXLSettings::material(const std::string& tool)
{
    const MarkerParameters p = GXLPreset::parameters(tool);
    const Float4 c = newMarkColor(tool, p);
    GXLSettings s;
    s.tool = tool;
    s.points = newMarkPoints(tool);
    s.color = {c.x, c.y, c.z, c.w};
    s.size = p.size;
    s.perspective = p.perspective;
    s.opacity = 100;
    s.speed = p.speed;
    return s;
}

MarkerParameters GXLSettings::parameters() const
{
    MarkerParameters p = GXLPreset::parameters(tool);
    const MarkerParameters q = p;
    std::vector<Float2> m;
    for (const GXLPoint& point : points) m.push_back(rendererPoint(point));

    // Settings that skipped validation may lack points or colour components;
    // those keep the preset's values rather than reading past the end.
    if (!m.empty()) {
        p.points.assign(m.begin(), m.begin() + std::min<std::size_t>(m.size(), MarkerParameters::maxPlayers));
        p.pointCount = static_cast<std::int64_t>(p.points.size());
        p.position = m.front();
        p.arrowStart = m.front();
        p.arrowEnd = m.back();
    }
    p.size = static_cast<float>(size);
    p.perspective = static_cast<float>(perspective);
    p.speed = static_cast<float>(speed);
    if (color.size() == 4) {
        const Float4 c = {static_cast<float>(color[0]), static_cast<float>(color[1]), static_cast<float>(color[2]),
                          static_cast<float>(color[3])};
        p.color1 = p.tacticalColor = p.arrowColor = c;
    }
    p.groundOnly = ground();
    const float k = static_cast<float>(opacity / 100);
    p.opacity = q.opacity * k;
    p.arrowOpacity = q.arrowOpacity * k;
    p.fillOpacity = q.fillOpacity * k;
    applyToolRules(*this, q, m, p);
    return p;
}

} // namespace zanto
