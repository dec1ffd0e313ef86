#include "marks/MarkerBounds.h"

#include "marks/MarkerShaderConstants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

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

// The far arc of a vision cone, sampled on the turf 2% beyond it (so the
// chords between samples stay outside it) and brought back to the screen,
// with the cone's length on the turf.
std::pair<std::vector<Float2>, float> visionConeArc(const MarkerUniforms& m, const GroundUniforms& g)
{
    const Float2 a{m.arrowEnds.x, m.arrowEnds.y}, b{m.arrowEnds.z, m.arrowEnds.w};
    const float ratio = mix(1.0f, 0.3f, saturate(g.vision.z));
    const Float2 axis{b.x - a.x, (b.y - a.y) / ratio};
    const float len = std::max(std::hypot(axis.x, axis.y), 8.0f);
    const float halfAngle = std::clamp(g.vision.x, 0.17f, 2.8f) * 0.5f;
    const float base = std::atan2(axis.y, axis.x);
    std::vector<Float2> arc;
    for (int i = 0; i <= 8; ++i) {
        const float angle = base + halfAngle * (float(i) / 4.0f - 1.0f);
        arc.push_back({a.x + std::cos(angle) * len * 1.02f, a.y + std::sin(angle) * len * 1.02f * ratio});
    }
    return {arc, len};
}

// The far arc of a vision cone in the box; gives the reach its samples may
// miss between them.
float includeVisionCone(Box& box, const MarkerUniforms& m, const GroundUniforms& g)
{
    const auto [arc, len] = visionConeArc(m, g);
    for (const Float2& sample : arc) box.include(sample);
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
    // Round the lane: both corners beyond its start, then both beyond its end.
    std::array<Float2, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const Float2 end = i < 2 ? Float2{a.x - along.x, a.y - along.y} : Float2{b.x + along.x, b.y + along.y};
        const float side = i == 0 || i == 3 ? -1.0f : 1.0f;
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

constexpr int kBandRows = 16;

// The parts of a marker as the shader's FEATURE_PARTS counts them.
enum Part : int { SpacePart = 1, HullPart = 2, LinesPart = 4, TrailPart = 8, RingsPart = 16, ArrowsPart = 32 };

// Where one part of the marker may draw: a polygon (one point makes a
// square, two a segment) grown by `grow` pixels every way, or an ellipse;
// a part that bounds itself no closer, the whole box.
struct Shape {
    enum class Kind { Polygon, Ellipse, Box } kind;
    int part;
    std::vector<Float2> corners = {};
    float grow = 0;
    Float2 centre = {}, radii = {};
};

Shape polygon(int part, std::vector<Float2> corners, float grow)
{
    return {Shape::Kind::Polygon, part, std::move(corners), grow};
}

Shape ellipse(int part, Float2 centre, Float2 radii)
{
    return {Shape::Kind::Ellipse, part, {}, 0, centre, radii};
}

// The columns a polygon's outline covers in rows [top, bottom], or none:
// its inside lies between them, whatever its winding.
std::optional<std::pair<float, float>> polygonColumns(const std::vector<Float2>& corners, float top, float bottom)
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

// The columns `shape` may draw in within rows [top, bottom], with the margin.
std::optional<std::pair<float, float>> columns(const Shape& shape, float top, float bottom, const gpu::PixelRegion& box)
{
    if (shape.kind == Shape::Kind::Box) return std::pair{float(box.x), float(box.x + box.width)};
    const float grow = (shape.kind == Shape::Kind::Polygon ? shape.grow : 0.0f) + kMargin;
    const auto c = shape.kind == Shape::Kind::Polygon
                       ? polygonColumns(shape.corners, top - grow, bottom + grow)
                       : ellipseColumns(shape.centre, shape.radii, top - grow, bottom + grow);
    if (!c) return c;
    return std::pair{c->first - grow, c->second + grow};
}

// The triangle (s, e and the arc's control point) holds the lofted arc's
// flight and head; the kick and landing rings lie flat around its ends and
// the shadow line runs between them.
void arcShapes(std::vector<Shape>& shapes, const MarkerUniforms& m)
{
    const Float2 s{m.arrowEnds.x, m.arrowEnds.y}, e{m.arrowEnds.z, m.arrowEnds.w};
    const Float2 control{(s.x + e.x) * 0.5f, (s.y + e.y) * 0.5f - 2.0f * m.arrowPath.x};
    const float line = std::max(m.arrowShape.x * 0.07f, 2.0f);
    const float head = std::max(line * 5.0f * (m.arrowShape.y / 0.3f), 10.0f);
    const float ratio = mix(0.62f, 0.14f, saturate(m.geometry.w));
    // Antialiasing over a distance measured on the turf spans up to 1 / ratio.
    const float soft = 2.0f + 1.0f / ratio;
    shapes.push_back(polygon(ArrowsPart, {s, control, e}, std::max(line * 0.5f, head * 1.3f) + 4.0f));
    // The shadow's exponential is some millionth of a step 4.5 widths out.
    shapes.push_back(polygon(ArrowsPart, {s, e}, line * 4.5f + 1.0f));
    const float kick = line * 2.55f + soft, landing = line * 5.45f + soft;
    shapes.push_back(ellipse(ArrowsPart, s, {kick, kick * ratio + 1.0f}));
    shapes.push_back(ellipse(ArrowsPart, e, {landing, landing * ratio + 1.0f}));
}

// The vision cone: its apex and far arc, brought back to the screen (which
// only shortens distances on the turf) and grown by the shape's edge; the
// dot at the apex.
void coneShapes(std::vector<Shape>& shapes, const MarkerUniforms& m, const GroundUniforms& g)
{
    const Float2 a{m.arrowEnds.x, m.arrowEnds.y};
    const float ratio = mix(1.0f, 0.3f, saturate(g.vision.z));
    std::vector<Float2> corners{a};
    const std::vector<Float2> arc = visionConeArc(m, g).first;
    corners.insert(corners.end(), arc.begin(), arc.end());
    const float edge = std::max(std::max(m.tactics.z * 1.5f, 2.0f) * 0.5f + 12.0f, std::max(g.space.w, 0.5f)) + 4.0f;
    shapes.push_back(polygon(SpacePart, std::move(corners), edge / mix(ratio, 1.0f, 0.5f)));
    shapes.push_back(polygon(SpacePart, {a}, std::max(m.shape.x * 0.45f, 3.0f) + 4.0f));
}

// Where each part of the marker may draw, as the shader draws it.
std::vector<Shape> partShapes(const MarkerUniforms& m, const GroundUniforms& g, const TrailUniforms& t,
                              const gpu::FunctionConstants& c)
{
    std::vector<Shape> shapes;
    const int style = feature(c, "FEATURE_RING_STYLE"), space = feature(c, "FEATURE_SPACE");
    const int lineMode = feature(c, "FEATURE_LINE_MODE"), arrow = feature(c, "FEATURE_ARROW");
    const bool multiple = feature(c, "FEATURE_MULTIPLE") == 1;
    std::vector<Float2> players;
    for (int i = 0; i < feature(c, "FEATURE_POINTS"); ++i) players.push_back(playerPoint(m, i));
    const Float2 position{m.geometry.x, m.geometry.y};
    const float ratio = mix(0.62f, 0.14f, saturate(m.geometry.w));
    const float lineWidth = std::max(m.tactics.z * 1.2f, 1.6f);
    const float shapeLine = std::max(m.tactics.z * 1.5f, 2.0f);
    // Space shapes draw nothing beyond 16 pixels of their rims.
    const Float2 half{std::max(g.space.y * 0.5f, 1.0f), std::max(g.space.z * 0.5f, 1.0f)};
    if (space == 1) {
        const float grow = 1.0f + 16.0f / std::min(half.x, half.y);
        shapes.push_back(ellipse(SpacePart, position, {half.x * grow, half.y * grow}));
    } else if (space == 2) {
        const float x0 = position.x - half.x, x1 = position.x + half.x;
        const float y0 = position.y - half.y, y1 = position.y + half.y;
        shapes.push_back(polygon(SpacePart, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, 16.0f));
    } else if (space == 3 && players.size() >= 3) {
        shapes.push_back(polygon(SpacePart, players, 16.0f));
    } else if (space == 3 && players.size() == 2) {
        shapes.push_back(polygon(SpacePart, players, std::max(m.tactics.z, 1.0f) + shapeLine * 0.5f + 14.0f));
    } else if (space == 4) {
        coneShapes(shapes, m, g);
    } else if (space == 5) {
        if (const auto corners = laneCorners(m, g))
            shapes.push_back(polygon(SpacePart, {corners->begin(), corners->end()}, 0.0f));
        else
            shapes.push_back({Shape::Kind::Box, SpacePart});
    }
    const int hull = feature(c, "FEATURE_HULL");
    const bool outline = lineMode == 2, fills = space == 0 && feature(c, "FEATURE_FILL") == 1;
    if (space != 3 && hull >= 2 && (outline || fills)) {
        std::vector<Float2> corners;
        for (int i = 0; i < hull; ++i) corners.push_back(hullPoint(m, i));
        // The outline's glow ends 12 pixels out; the fill's edge within its antialiasing.
        shapes.push_back(polygon(HullPart, std::move(corners), outline ? lineWidth * 0.5f + 14.0f : 2.0f));
    }
    if (lineMode == 1)
        for (size_t i = 1; i < players.size(); ++i)
            shapes.push_back(polygon(LinesPart, {players[i - 1], players[i]}, lineWidth * 0.5f + 16.0f));
    if (feature(c, "FEATURE_TRAIL") != 0) {
        // Distances along the run are taken on the turf, which the screen
        // only shortens.
        const float reach = std::max(t[0].x, 0.5f) * 3.0f + 12.0f;
        const int used = std::clamp(int(t[130].w + 0.5f), 0, int(trailSlotCount));
        std::vector<Float2> run;
        for (int i = 0, seen = 0; i < int(trailSlotCount) && seen < used; ++i)
            if (t[size_t(i) + 2].w > 0.5f) run.push_back({t[size_t(i) + 2].x, t[size_t(i) + 2].y}), ++seen;
        for (size_t i = 1; i < run.size(); ++i) shapes.push_back(polygon(TrailPart, {run[i - 1], run[i]}, reach));
    }
    if (style == 3 && multiple) {
        const float dot = std::max(m.shape.x * 0.45f, 3.0f) + 4.0f;
        for (const Float2& player : players) shapes.push_back(polygon(RingsPart, {player}, dot));
    } else if (style != 3 && style != 8) {
        // A ring lies flat on the turf. Measured there from its centre, its
        // outermost wave runs out to 1.7 r and a fifth of its thickness, its
        // glow ends 3.7 thicknesses and 8 pixels beyond r (ticks, pulses and
        // the shadow lie within those), and antialiasing adds up to half of
        // 1 + 1 / ratio.
        const float radius = std::max(m.geometry.z * 0.6f + m.look.w * m.look.z, 1.0f);
        const float thickness = std::max(m.shape.x * 0.75f, 1.5f);
        auto ring = [&](Float2 centre, float r) {
            const float reach =
                std::max(r * 1.7f + thickness * 0.5f, r + thickness * 3.7f + 8.0f) + 2.0f + 1.0f / ratio;
            shapes.push_back(ellipse(RingsPart, centre, {reach, reach * ratio + 2.0f}));
        };
        if (multiple)
            for (size_t i = 0; i < players.size(); ++i) ring(players[i], radius * ringSize(g, int(i)));
        else
            ring(position, radius);
    }
    if (arrow == 4)
        arcShapes(shapes, m);
    else if (arrow > 0)
        shapes.push_back({Shape::Kind::Box, ArrowsPart});
    return shapes;
}

} // namespace

std::vector<MarkerPiece> markerPieces(const MarkerUniforms& m, const GroundUniforms& g, const TrailUniforms& t)
{
    const gpu::PixelRegion box = markerBounds(m, g, t);
    const gpu::FunctionConstants c = markerShaderConstants(m, g, t);
    // The spotlight darkens, and the key preview tints, the whole picture.
    if (feature(c, "FEATURE_RING_STYLE") == 6 || feature(c, "FEATURE_PREVIEW") == 1) return {{box, -1}};
    const std::vector<Shape> shapes = partShapes(m, g, t, c);
    std::vector<MarkerPiece> pieces;
    struct Span {
        int left, right, part;
    };
    std::vector<Span> spans;
    std::vector<int> edges;
    for (int top = box.y; top < box.y + box.height; top += kBandRows) {
        const int bottom = std::min(top + kBandRows, box.y + box.height);
        spans.clear(), edges.clear();
        for (const Shape& shape : shapes) {
            const auto cols = columns(shape, float(top), float(bottom), box);
            if (!cols) continue;
            const int left = std::max(box.x, int(std::floor(cols->first)));
            const int right = std::min(box.x + box.width, int(std::ceil(cols->second)));
            if (left >= right) continue;
            spans.push_back({left, right, shape.part});
            edges.push_back(left), edges.push_back(right);
        }
        std::sort(edges.begin(), edges.end());
        edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
        // Between two edges the same parts draw: one piece for each run of them.
        const size_t first = pieces.size();
        for (size_t i = 0; i + 1 < edges.size(); ++i) {
            int parts = 0;
            for (const Span& span : spans)
                if (span.left <= edges[i] && edges[i + 1] <= span.right) parts |= span.part;
            if (parts == 0) continue;
            MarkerPiece* last = pieces.size() > first ? &pieces.back() : nullptr;
            if (last && last->parts == parts && last->region.x + last->region.width == edges[i])
                last->region.width += edges[i + 1] - edges[i];
            else
                pieces.push_back({{edges[i], top, edges[i + 1] - edges[i], bottom - top}, parts});
        }
    }
    return pieces;
}

} // namespace zanto
