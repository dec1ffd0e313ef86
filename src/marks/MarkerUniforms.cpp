// Packing of MarkerParameters into the shader's parameter blocks: scaling to
// the target, clamps, the entrance animation, the convex hull of the player
// points and the time-driven phases. Single precision unless a step needs
// the range of a double (times multiplied by speeds).

#include "marks/MarkerParameters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zanto {

namespace {

constexpr float pi = std::numbers::pi_v<float>;

float clamp01(float v)
{
    return std::min(1.0f, std::max(0.0f, v));
}

float flag(bool on)
{
    return on ? 1.0f : 0.0f;
}

// Fractional part keeping the sign of v. A time or speed that is not finite
// (or overflows) has no phase: it packs as 0 rather than NaN, as the wave
// phase has always done.
double phase(double v)
{
    return std::isfinite(v) ? std::fmod(v, 1.0) : 0.0;
}

// Render clock of the entrance and the arc: the elapsed time when the marker
// carries one, else the render time; never negative.
double clock(const std::optional<double>& elapsed, double seconds)
{
    double e = elapsed.value_or(seconds);
    return std::max(0.0, e);
}

float cross(Float2 o, Float2 a, Float2 b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

template <typename It>
std::vector<Float2> halfHull(It first, It last)
{
    std::vector<Float2> stack;
    for (It it = first; it != last; ++it) {
        while (stack.size() >= 2 && cross(stack[stack.size() - 2], stack.back(), *it) <= 0) {
            stack.pop_back();
        }
        stack.push_back(*it);
    }
    return stack;
}

Float4 pair(const std::vector<Float2>& list, std::size_t first)
{
    Float2 a = first < list.size() ? list[first] : Float2{};
    Float2 b = first + 1 < list.size() ? list[first + 1] : Float2{};
    return {a.x, a.y, b.x, b.y};
}

// The player points and their hull, two points a vector, (0, 0) past the end.
void packPlayers(MarkerUniforms& u, const std::vector<Float2>& pixels, const std::vector<Float2>& outline)
{
    u.points01 = pair(pixels, 0);
    u.points23 = pair(pixels, 2);
    u.points45 = pair(pixels, 4);
    u.points67 = pair(pixels, 6);
    u.points89 = pair(pixels, 8);
    u.pointsAB = pair(pixels, 10);
    u.hull01 = pair(outline, 0);
    u.hull23 = pair(outline, 2);
    u.hull45 = pair(outline, 4);
    u.hull67 = pair(outline, 6);
    u.hull89 = pair(outline, 8);
    u.hullAB = pair(outline, 10);
}

} // namespace

MarkerParameters::Entrance MarkerParameters::entrance(double seconds) const
{
    if (!entranceEnabled) return {};
    double e = clock(entranceElapsed, seconds);
    double duration = std::max(0.05, static_cast<double>(entranceDuration));
    float p = static_cast<float>(std::min(1.0, e / duration));
    if (p >= 1) return {};
    float inverse = 1 - p;
    float ease = 1 - inverse * inverse * inverse;
    float wobble = 14 * std::sin(2 * pi * p) * std::exp(-5 * p);
    return {ease, 0.6f + 0.4f * ease, wobble};
}

std::vector<Float2> MarkerParameters::hull(std::vector<Float2> points)
{
    // A point without a finite position has no place on a hull, and it would
    // break the ordering the sort relies on.
    std::erase_if(points, [](Float2 p) { return !std::isfinite(p.x) || !std::isfinite(p.y); });
    std::sort(points.begin(), points.end(), [](Float2 a, Float2 b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    if (points.size() < 3) return points;
    std::vector<Float2> lower = halfHull(points.begin(), points.end());
    std::vector<Float2> upper = halfHull(points.rbegin(), points.rend());
    lower.pop_back();
    upper.pop_back();
    lower.insert(lower.end(), upper.begin(), upper.end());
    return lower;
}

MarkerUniforms MarkerParameters::uniforms(int width, int height, double seconds) const
{
    const Entrance e = entrance(seconds);
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float s = w / 1920;

    const float arcClock = static_cast<float>(clock(entranceElapsed, seconds));
    const float progress = arcClock / std::max(0.05f, arcAnimationDuration);
    const bool progressive = arcMotionMode == 1 && arrowAnimated;
    const float drawShare = clamp01(drawProgress / 100) * (progressive ? std::min(1.0f, progress) : 1.0f);
    const float ringTurn = static_cast<float>(phase(seconds * speed * direction));
    const float ringAngle = 2 * pi * ringTurn;

    // The point list and the count are set independently; pack what both
    // agree on, at most twelve.
    const auto listed = std::min(static_cast<std::int64_t>(points.size()), pointCount);
    const auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(listed, 0, maxPlayers));
    std::vector<Float2> pixels;
    for (std::size_t i = 0; i < n; ++i) pixels.push_back({points[i].x * w, points[i].y * h});
    const std::vector<Float2> outline = hull(pixels);

    const float arrowPhase = arrowAnimated ? static_cast<float>(phase(seconds * arrowSpeed)) : 0.0f;
    const float dash = arcLinePattern != 0 ? std::max(1.0f, dashLength * s) : 0.0f;
    const float arcPhase = arrowAnimated && std::isfinite(progress) ? std::fmod(progress, 1.0f) : 0.0f;

    MarkerUniforms u;
    u.color1 = color1;
    u.color2 = color2;
    u.geometry = {position.x * w, position.y * h, std::max(1.0f, size * s * e.size),
                  std::max(0.05f, perspective / 100)};
    u.shape = {std::max(0.5f, thickness * s * e.size), std::max(2.0f, std::round(segments)),
               std::min(0.95f, std::max(0.0f, gap / 100)), ringAngle};
    u.look = {std::max(0.0f, glow / 100) + e.wobble, clamp01(opacity / 100) * e.opacity, s, e.wobble};
    packPlayers(u, pixels, outline);
    u.tactics = {static_cast<float>(n), static_cast<float>(lineMode), std::max(0.5f, lineWidth * s),
                 clamp01(lineOpacity / 100) * e.opacity};
    u.fill = {clamp01(fillOpacity / 100) * e.opacity, static_cast<float>(outline.size()), flag(multipleRings),
              clamp01(groundShadow / 100)};
    u.tacticalColor = tacticalColor;
    u.arrowEnds = {arrowStart.x * w, arrowStart.y * h, arrowEnd.x * w, arrowEnd.y * h};
    u.arrowShape = {std::max(1.0f, arrowWidth * s), std::min(0.6f, std::max(0.1f, arrowHead / 100)),
                    std::max(0.0f, arrowDepth * s), std::min(0.9f, std::max(0.0f, arrowPerspective / 100))};
    u.arrowStyle = {static_cast<float>(std::clamp<std::int64_t>(arrowMode, 0, 5)), arrowPhase,
                    std::max(10.0f, arrowSpacing * s), clamp01(arrowOpacity / 100) * e.opacity};
    u.arrowColor = arrowColor;
    u.arrowPath = {arcHeight * s, drawShare, std::min(1.0f, std::max(0.01f, trailLength / 100)),
                   static_cast<float>(std::clamp<std::int64_t>(ringStyle, 0, 7))};
    u.arcOptions = {dash, std::max(1.0f, dashGap * s), static_cast<float>(arcMotionMode), arcPhase};
    return withoutNaN(u);
}

GroundUniforms MarkerParameters::groundUniforms(int width, int height, double seconds) const
{
    const float w = static_cast<float>(width);
    const float s = w / 1920;
    const double tt = std::max(0.0, seconds);
    const float wave =
        std::isfinite(tt) ? static_cast<float>(phase(tt * std::max(0.0, static_cast<double>(waveSpeed)))) : 0.0f;

    float rings[maxPlayers];
    for (std::size_t i = 0; i < static_cast<std::size_t>(maxPlayers); ++i) {
        const bool usable = i < ringSizes.size() && std::isfinite(ringSizes[i]);
        rings[i] = usable ? std::min(3.0f, std::max(0.1f, ringSizes[i] / 100)) : 1.0f;
    }
    const auto laneStart = std::clamp<std::int64_t>(laneStartStyle, 0, 2);
    const auto laneEnd = std::clamp<std::int64_t>(laneEndStyle, 0, 2);

    GroundUniforms g;
    g.space = {static_cast<float>(spaceMode), std::max(1.0f, spaceWidth * s), std::max(1.0f, spaceHeight * s),
               std::max(0.5f, spaceFeather * s)};
    g.key = {groundColor.x, groundColor.y, groundColor.z, 0};
    g.mask = {flag(groundOnly), std::max(0.001f, groundTolerance / 100), std::max(0.001f, groundSoftness / 100),
              flag(groundPreview)};
    g.viewport = {w, static_cast<float>(height), 0, 0};
    g.ringSizes03 = {rings[0], rings[1], rings[2], rings[3]};
    g.ringSizes47 = {rings[4], rings[5], rings[6], rings[7]};
    g.ringSizes8B = {rings[8], rings[9], rings[10], rings[11]};
    g.vision = {std::min(160.0f, std::max(10.0f, visionAngle)) * pi / 180, std::max(1.0f, corridorWidth * s),
                std::min(1.0f, std::max(0.1f, visionPerspective / 100)), static_cast<float>(laneStart + 4 * laneEnd)};
    g.wave = {wave, std::min(1.0f, std::max(0.1f, waveSpacing / 100)), waveEnabled ? clamp01(waveStrength / 100) : 0.0f,
              std::min(0.4f, std::max(0.02f, waveWidth / 100))};
    return withoutNaN(g);
}

TrailUniforms MarkerParameters::trailUniforms(int width, int height) const
{
    TrailUniforms block{};
    const std::vector<float>& ts = trailState;
    if (ts.size() != 520 && ts.size() != 523) return block;
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);

    block[0] = {std::max(0.5f, ts[0] * w / 1920), clamp01(ts[1] / 100), clamp01(ts[2] / 100), clamp01(ts[3])};
    block[1] = {ts[4], ts[5], ts[6], ts[7]};
    float used = 0;
    for (std::size_t i = 0; i < trailSlotCount; ++i) {
        const float* slot = &ts[8 + 4 * i];
        // The state keeps the marks' bottom-left y; the shader's origin is top left.
        block[2 + i] = {slot[0] * w, (1 - slot[1]) * h, slot[2], slot[3]};
        if (slot[3] > 0.5f) used += 1;
    }
    if (ts.size() == 523) {
        block[130] = {std::min(2.0f, std::max(0.0f, ts[520])), clamp01(ts[521] / 100), clamp01(ts[522] / 100), 0};
    }
    block[130].w = used;
    return withoutNaN(block);
}

} // namespace zanto
