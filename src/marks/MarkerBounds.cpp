#include "marks/MarkerBounds.h"

#include "marks/MarkerShaderConstants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>

namespace zanto {
namespace {

// The box is worked out in single precision, as on the GPU; a pixel of margin
// on every side covers the last bits in which the two may differ.
constexpr float kMargin = 1.0f;

struct Box {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;

    void include(Float2 p)
    {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    void includeAround(Float2 p, Float2 reach)
    {
        include({p.x - reach.x, p.y - reach.y});
        include({p.x + reach.x, p.y + reach.y});
    }
};

int feature(const gpu::FunctionConstants& constants, std::string_view name)
{
    for (const auto& [key, value] : constants)
        if (key == name) return value;
    return 0;
}

Float2 pairPoint(const Float4& pair, int i)
{
    return (i & 1) == 0 ? Float2{pair.x, pair.y} : Float2{pair.z, pair.w};
}

Float2 playerPoint(const MarkerUniforms& m, int i)
{
    const Float4* pairs[] = {&m.points01, &m.points23, &m.points45, &m.points67, &m.points89, &m.pointsAB};
    return pairPoint(*pairs[std::min(i >> 1, 5)], i);
}

Float2 hullPoint(const MarkerUniforms& m, int i)
{
    const Float4* pairs[] = {&m.hull01, &m.hull23, &m.hull45, &m.hull67, &m.hull89, &m.hullAB};
    return pairPoint(*pairs[std::min(i >> 1, 5)], i);
}

float ringSize(const GroundUniforms& g, int i)
{
    const Float4& group = i < 4 ? g.ringSizes03 : i < 8 ? g.ringSizes47 : g.ringSizes8B;
    const float lanes[] = {group.x, group.y, group.z, group.w};
    return lanes[i & 3];
}

float saturate(float v)
{
    return std::clamp(v, 0.0f, 1.0f);
}

float mix(float a, float b, float t)
{
    return a + (b - a) * t;
}

// The far arc of a vision cone, sampled on the turf and brought back to the
// screen; gives the reach its samples may miss between them.
float includeVisionCone(Box& box, const MarkerUniforms& m, const GroundUniforms& g)
{
    const Float2 a{m.arrowEnds.x, m.arrowEnds.y}, b{m.arrowEnds.z, m.arrowEnds.w};
    const float ratio = mix(1.0f, 0.3f, saturate(g.vision.z));
    const Float2 axis{b.x - a.x, (b.y - a.y) / ratio};
    const float len = std::max(std::hypot(axis.x, axis.y), 8.0f);
    const float halfAngle = std::clamp(g.vision.x, 0.17f, 2.8f) * 0.5f;
    const float base = std::atan2(axis.y, axis.x);
    for (int i = 0; i <= 8; ++i) {
        const float angle = base + halfAngle * (float(i) / 4.0f - 1.0f);
        const Float2 far{std::cos(angle) * len * 1.02f, std::sin(angle) * len * 1.02f};
        box.include({a.x + far.x, a.y + far.y * ratio});
    }
    return len * 0.02f + 24.0f;
}

// The corners of a passing lane on the screen: the lane draws nothing farther
// on the turf than its half width and 20 pixels from its axis and beyond its
// ends. None for a lane without length, which spreads everywhere.
std::optional<std::array<Float2, 4>> laneCorners(const MarkerUniforms& m, const GroundUniforms& g)
{
    const float ratio = mix(0.62f, 0.14f, saturate(m.geometry.w));
    const Float2 a{m.arrowEnds.x, m.arrowEnds.y / ratio}, b{m.arrowEnds.z, m.arrowEnds.w / ratio};
    const float len = std::hypot(b.x - a.x, b.y - a.y);
    if (!(len >= 1.0f)) return std::nullopt;
    const float out = std::max(g.vision.y * 0.5f, 1.0f) + 20.0f;
    const Float2 along{(b.x - a.x) / len * out, (b.y - a.y) / len * out}, across{-along.y, along.x};
    std::array<Float2, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const Float2 end = i < 2 ? Float2{a.x - along.x, a.y - along.y} : Float2{b.x + along.x, b.y + along.y};
        const float side = i % 2 ? 1.0f : -1.0f;
        corners[size_t(i)] = {end.x + side * across.x, (end.y + side * across.y) * ratio};
    }
    return corners;
}

// The widest reach of the marker's features beyond their points: rings with
// their pulse and glow, lines, arrows and arcs with their heads, lanes,
// trails, soft edges.
float featureReach(const MarkerUniforms& m, const GroundUniforms& g, const TrailUniforms& t,
                   const gpu::FunctionConstants& c)
{
    float reach = 24.0f + std::max(m.tactics.z * 1.5f, 0.0f);
    // A single ring of the plain style 3 draws nothing: the space shape is
    // the marker then, bounded on its own.
    const int style = feature(c, "FEATURE_RING_STYLE");
    const bool multiple = feature(c, "FEATURE_MULTIPLE") == 1;
    if (style != 8 && (style != 3 || multiple)) {
        float largest = 1.0f;
        if (multiple)
            for (int i = 0; i < feature(c, "FEATURE_POINTS"); ++i) largest = std::max(largest, ringSize(g, i));
        const float radius = std::max(m.geometry.z * 0.6f + m.look.w * m.look.z, 1.0f) * largest;
        const float thickness = std::max(m.shape.x * 0.75f, 1.5f);
        reach = std::max(reach, radius * 1.75f + thickness * 4.0f + 10.0f + 4.0f);
    }
    const int arrow = feature(c, "FEATURE_ARROW");
    if (arrow == 4)
        reach = std::max(reach, std::max(m.arrowShape.x * 0.07f, 2.0f) * 8.0f + 44.0f);
    else if (arrow > 0)
        // Seen flat, the turf's lengths shrink up to `ratio`-fold on the
        // screen, so what lies a ground distance beyond an end may lie that
        // much farther away in pixels.
        reach = std::max(reach, (m.arrowShape.x * 1.3f + std::max(m.arrowShape.z, 0.0f) * 0.3f + 24.0f)
                                    / mix(1.0f, 0.3f, saturate(m.arrowShape.w)));
    if (feature(c, "FEATURE_SPACE") == 5 && !laneCorners(m, g)) reach = std::max(reach, g.vision.y * 1.5f + 24.0f);
    if (feature(c, "FEATURE_TRAIL") != 0) reach = std::max(reach, t[0].x * 4.0f + 16.0f);
    return reach + std::max(g.space.w, 0.0f) + 8.0f;
}

} // namespace

gpu::PixelRegion markerBounds(const MarkerUniforms& m, const GroundUniforms& g, const TrailUniforms& t)
{
    const float width = std::max(g.viewport.x, 1.0f), height = std::max(g.viewport.y, 1.0f);
    const gpu::PixelRegion whole{0, 0, int(width), int(height)};
    const gpu::FunctionConstants c = markerShaderConstants(m, g, t);
    if (feature(c, "FEATURE_RING_STYLE") == 6 || feature(c, "FEATURE_PREVIEW") == 1) return whole;

    Box box;
    box.include({m.geometry.x, m.geometry.y});
    for (int i = 0; i < feature(c, "FEATURE_POINTS"); ++i) box.include(playerPoint(m, i));
    for (int i = 0; i < feature(c, "FEATURE_HULL"); ++i) box.include(hullPoint(m, i));
    const Float2 a{m.arrowEnds.x, m.arrowEnds.y}, b{m.arrowEnds.z, m.arrowEnds.w};
    box.include(a);
    box.include(b);
    const int arrow = feature(c, "FEATURE_ARROW");
    if (arrow == 4) {
        // The flight rises at most its height above the lower of its ends.
        box.include({a.x, a.y - m.arrowPath.x});
        box.include({b.x, b.y - m.arrowPath.x});
    }
    if (arrow == 5) {
        const float r = std::hypot(b.x - a.x, b.y - a.y) * 0.3f;
        box.includeAround({(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f}, {r, r});
    }
    const int space = feature(c, "FEATURE_SPACE");
    // The space shapes draw nothing beyond 16 of their distances from the
    // rim: pixels for the rectangle, the shorter radius for the ellipse.
    const Float2 half{std::max(g.space.y * 0.5f, 1.0f), std::max(g.space.z * 0.5f, 1.0f)};
    if (space == 1) {
        const float grow = 1.0f + 16.0f / std::min(half.x, half.y);
        box.includeAround({m.geometry.x, m.geometry.y}, {half.x * grow, half.y * grow});
    }
    if (space == 2) box.includeAround({m.geometry.x, m.geometry.y}, {half.x + 16.0f, half.y + 16.0f});
    if (space == 5)
        if (const auto corners = laneCorners(m, g))
            for (const Float2& corner : *corners) box.include(corner);
    const float coneReach = space == 4 ? includeVisionCone(box, m, g) : 0.0f;
    if (feature(c, "FEATURE_TRAIL") != 0) {
        const int used = std::clamp(int(t[130].w + 0.5f), 0, int(trailSlotCount));
        for (int i = 0, seen = 0; i < int(trailSlotCount) && seen < used; ++i)
            if (t[size_t(i) + 2].w > 0.5f) box.include({t[size_t(i) + 2].x, t[size_t(i) + 2].y}), ++seen;
    }
    const float reach = featureReach(m, g, t, c) + coneReach + kMargin;
    const float x0 = std::max(box.x0 - reach, 0.0f), y0 = std::max(box.y0 - reach, 0.0f);
    const float x1 = std::min(box.x1 + reach, width), y1 = std::min(box.y1 + reach, height);
    // Anything not finite, or nothing left: the whole target, to be safe.
    const bool usable =
        x0 < x1 && y0 < y1 && std::abs(x0) < 1e8f && std::abs(y0) < 1e8f && std::abs(x1) < 1e8f && std::abs(y1) < 1e8f;
    if (!usable) return whole;
    const int left = int(std::floor(x0)), top = int(std::floor(y0));
    return {left, top, int(std::ceil(x1)) - left, int(std::ceil(y1)) - top};
}

} // namespace zanto

namespace zanto {
namespace {

constexpr int kBandRows = 32;

// Whether the marker draws no lines between its players (they need two).
bool noLines(const gpu::FunctionConstants& c)
{
    return feature(c, "FEATURE_LINE_MODE") != 1 || feature(c, "FEATURE_POINTS") < 2;
}

// Whether the marker's space shape (a circle or a lane) is all it draws: no
// ring, line, hull outline, trail or arrow. With a space shape the fill is
// the shape's, so hull points draw only as an outline.
bool spaceAlone(const gpu::FunctionConstants& c)
{
    const int style = feature(c, "FEATURE_RING_STYLE");
    const bool noRings = style == 8 || (style == 3 && feature(c, "FEATURE_MULTIPLE") == 0);
    const bool noHull = feature(c, "FEATURE_LINE_MODE") != 2 || feature(c, "FEATURE_HULL") < 2;
    return noRings && noLines(c) && noHull && feature(c, "FEATURE_TRAIL") == 0 && feature(c, "FEATURE_ARROW") == 0;
}

// Whether the marker's rings (or dots) are all it draws: no line, hull,
// space shape, trail or arrow, and no spotlight.
bool ringsAlone(const gpu::FunctionConstants& c)
{
    const int style = feature(c, "FEATURE_RING_STYLE");
    const bool rings = style != 8 && style != 6 && (style != 3 || feature(c, "FEATURE_MULTIPLE") == 1);
    const bool noHull =
        feature(c, "FEATURE_HULL") < 2 || (feature(c, "FEATURE_LINE_MODE") != 2 && feature(c, "FEATURE_FILL") == 0);
    return rings && noLines(c) && noHull && feature(c, "FEATURE_SPACE") == 0 && feature(c, "FEATURE_TRAIL") == 0
           && feature(c, "FEATURE_ARROW") == 0;
}

// The part of `box` the rings draw in: a ring lies flat on the turf and draws
// nothing farther than its reach across, nor than that reach seen flat (and
// 2 pixels) up or down; a dot, its radius and 4 pixels.
gpu::PixelRegion ringsRegion(const MarkerUniforms& m, const GroundUniforms& g, const gpu::FunctionConstants& c,
                             const gpu::PixelRegion& box)
{
    const bool multiple = feature(c, "FEATURE_MULTIPLE") == 1;
    const bool dots = feature(c, "FEATURE_RING_STYLE") == 3;
    const float ratio = mix(0.62f, 0.14f, saturate(m.geometry.w));
    const float radius = std::max(m.geometry.z * 0.6f + m.look.w * m.look.z, 1.0f);
    const float thickness = std::max(m.shape.x * 0.75f, 1.5f);
    const float dot = std::max(m.shape.x * 0.45f, 3.0f) + 4.0f;
    Box rings;
    for (int i = 0; i < (multiple ? feature(c, "FEATURE_POINTS") : 1); ++i) {
        const Float2 centre = multiple ? playerPoint(m, i) : Float2{m.geometry.x, m.geometry.y};
        const float reach = (multiple ? radius * ringSize(g, i) : radius) * 1.75f + thickness * 4.0f + 10.0f;
        rings.includeAround(centre, dots ? Float2{dot + kMargin, dot + kMargin}
                                         : Float2{reach + kMargin, reach * ratio + 2.0f + kMargin});
    }
    const float x0 = std::max(rings.x0, float(box.x)), y0 = std::max(rings.y0, float(box.y));
    const float x1 = std::min(rings.x1, float(box.x + box.width)), y1 = std::min(rings.y1, float(box.y + box.height));
    if (!(x0 < x1 && y0 < y1)) return box; // nothing finite left: the box, to be safe
    const int left = int(std::floor(x0)), top = int(std::floor(y0));
    return {left, top, int(std::ceil(x1)) - left, int(std::ceil(y1)) - top};
}

// The columns a convex polygon covers in rows [top, bottom], or none.
std::optional<std::pair<float, float>> polygonColumns(const std::array<Float2, 4>& corners, float top, float bottom)
{
    float left = 1e9f, right = -1e9f;
    auto include = [&](float x) { left = std::min(left, x), right = std::max(right, x); };
    for (size_t i = 0; i < corners.size(); ++i) {
        const Float2 p = corners[i], q = corners[(i + 1) % corners.size()];
        const float lo = std::max(top, std::min(p.y, q.y)), hi = std::min(bottom, std::max(p.y, q.y));
        if (lo > hi) continue;
        if (p.y == q.y) {
            include(p.x), include(q.x);
            continue;
        }
        for (const float y : {lo, hi}) include(p.x + (q.x - p.x) * (y - p.y) / (q.y - p.y));
    }
    if (left > right) return std::nullopt;
    return std::pair{left, right};
}

// The columns an ellipse covers in rows [top, bottom], or none.
std::optional<std::pair<float, float>> ellipseColumns(Float2 centre, Float2 radii, float top, float bottom)
{
    const float dy = centre.y < top ? top - centre.y : centre.y > bottom ? centre.y - bottom : 0.0f;
    if (dy >= radii.y) return std::nullopt;
    const float half = radii.x * std::sqrt(1.0f - (dy / radii.y) * (dy / radii.y));
    return std::pair{centre.x - half, centre.x + half};
}

} // namespace

std::vector<gpu::PixelRegion> markerBands(const MarkerUniforms& m, const GroundUniforms& g, const TrailUniforms& t)
{
    const gpu::PixelRegion box = markerBounds(m, g, t);
    const gpu::FunctionConstants c = markerShaderConstants(m, g, t);
    const int space = feature(c, "FEATURE_SPACE");
    const auto corners = space == 5 ? laneCorners(m, g) : std::nullopt;
    if (ringsAlone(c)) return {ringsRegion(m, g, c, box)};
    if (!spaceAlone(c) || !(space == 1 || corners)) return {box};
    const Float2 half{std::max(g.space.y * 0.5f, 1.0f), std::max(g.space.z * 0.5f, 1.0f)};
    const float grow = 1.0f + 16.0f / std::min(half.x, half.y);
    std::vector<gpu::PixelRegion> bands;
    for (int top = box.y; top < box.y + box.height; top += kBandRows) {
        const int bottom = std::min(top + kBandRows, box.y + box.height);
        const auto columns = corners ? polygonColumns(*corners, float(top) - kMargin, float(bottom) + kMargin)
                                     : ellipseColumns({m.geometry.x, m.geometry.y}, {half.x * grow, half.y * grow},
                                                      float(top) - kMargin, float(bottom) + kMargin);
        if (!columns) continue;
        const int left = std::max(box.x, int(std::floor(columns->first - kMargin)));
        const int right = std::min(box.x + box.width, int(std::ceil(columns->second + kMargin)));
        if (left < right) bands.push_back({left, top, right - left, bottom - top});
    }
    return bands;
}

} // namespace zanto
