#include "marks/MarkerValues.h"

#include "marks/MarkerRendererError.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zanto::MarkerValues {

namespace {

constexpr std::array<std::size_t, 16> acceptedLengths = {20, 23, 40, 56,  73,  76,  77,  78,
                                                         79, 84, 96, 108, 628, 631, 641, 656};

void checkValues(std::span<const double> values)
{
    bool fine = acceptedLength(values.size());
    for (double v : values) fine = fine && std::isfinite(v) && std::abs(v) < 100'000'000.0;
    if (!fine) throw rendererFailure("Invalid parameter state");
}

// Reads entries the way the array is defined: floats, flags as "not 0",
// integers truncated toward zero.
struct Reader {
    std::span<const double> values;
    bool flipY;

    std::size_t size() const { return values.size(); }
    float number(std::size_t i) const { return static_cast<float>(values[i]); }
    bool flag(std::size_t i) const { return number(i) != 0; }
    std::int64_t integer(std::size_t i) const { return static_cast<std::int64_t>(std::trunc(number(i))); }
    Float2 pair(std::size_t i) const { return {number(i), number(i + 1)}; }
    Float3 rgb(std::size_t i) const { return {number(i), number(i + 1), number(i + 2)}; }
    Float4 rgba(std::size_t i) const { return {number(i), number(i + 1), number(i + 2), number(i + 3)}; }
    // A position, turned from a bottom-left origin when the caller asked.
    Float2 point(std::size_t i) const
    {
        Float2 p = pair(i);
        if (flipY) p.y = 1 - p.y;
        return p;
    }
    std::vector<float> run(std::size_t first, std::size_t count) const
    {
        std::vector<float> out;
        for (std::size_t i = first; i < first + count; ++i) out.push_back(number(i));
        return out;
    }
};

void readRing(const Reader& r, MarkerParameters& p)
{
    p.color1 = r.rgba(0);
    p.color2 = r.rgba(4);
    p.size = r.number(8);
    p.perspective = r.number(9);
    p.thickness = r.number(10);
    p.segments = r.number(11);
    p.gap = r.number(12);
    p.speed = r.number(13);
    p.direction = r.number(14);
    p.glow = r.number(15);
    p.opacity = r.number(16);
    p.position = r.pair(17);
}

void readEntranceAndPoints(const Reader& r, MarkerParameters& p)
{
    if (r.size() >= 23) {
        p.entranceEnabled = r.flag(20);
        p.entranceDuration = r.number(21);
        p.entranceElapsed = r.values[22];
    }
    if (r.size() < 40) return;
    p.points.clear();
    for (std::size_t i = 23; i < 31; i += 2) p.points.push_back(r.point(i));
    p.lineMode = r.integer(31);
    p.pointCount = r.integer(32);
    p.lineWidth = r.number(33);
    p.lineOpacity = r.number(34);
    p.fillOpacity = r.number(35);
    p.tacticalColor = r.rgba(36);
    if (r.size() < 56) return;
    for (std::size_t i = 40; i < 56; i += 2) p.points.push_back(r.point(i));
}

void readArrow(const Reader& r, MarkerParameters& p)
{
    if (r.size() < 73) return;
    p.arrowMode = r.integer(56);
    p.arrowStart = r.point(57);
    p.arrowEnd = r.point(59);
    p.arrowWidth = r.number(61);
    p.arrowHead = r.number(62);
    p.arrowSpeed = r.number(63);
    p.arrowSpacing = r.number(64);
    p.arrowDepth = r.number(65);
    p.arrowPerspective = r.number(66);
    p.arrowOpacity = r.number(67);
    p.arrowColor = r.rgba(68);
    p.arrowAnimated = r.flag(72);
}

void readArc(const Reader& r, MarkerParameters& p)
{
    if (r.size() >= 76) {
        // The arc rises toward smaller y in a top-left space: flipped, it falls.
        p.arcHeight = r.flipY ? -r.number(73) : r.number(73);
        p.drawProgress = r.number(74);
        p.trailLength = r.number(75);
    }
    if (r.size() >= 77) p.ringStyle = r.integer(76);
    if (r.size() >= 78) p.multipleRings = r.flag(77);
    if (r.size() >= 79) p.groundShadow = r.number(78);
    if (r.size() < 84) return;
    p.arcLinePattern = r.integer(79);
    p.dashLength = r.number(80);
    p.dashGap = r.number(81);
    p.arcMotionMode = r.integer(82);
    p.arcAnimationDuration = r.number(83);
}

void readGround(const Reader& r, MarkerParameters& p)
{
    if (r.size() >= 96) {
        p.spaceMode = std::clamp<std::int64_t>(r.integer(84), 0, 5);
        p.spaceWidth = r.number(85);
        p.spaceHeight = r.number(86);
        p.spaceFeather = r.number(87);
        p.groundOnly = r.flag(89);
        p.groundColor = r.rgb(90);
        p.groundTolerance = r.number(93);
        p.groundSoftness = r.number(94);
        p.groundPreview = r.flag(95);
    }
    if (r.size() >= 108) p.ringSizes = r.run(96, 12);
    if (r.size() == 628) p.trailState = r.run(108, 520);
    if (r.size() >= 631) p.trailState = r.run(108, 523);
}

void readVisionAndLabel(const Reader& r, MarkerParameters& p)
{
    if (r.size() >= 641) {
        p.visionAngle = r.number(631);
        p.corridorWidth = r.number(632);
        p.visionPerspective = r.number(633);
        p.waveEnabled = r.flag(634);
        p.waveSpeed = r.number(635);
        p.waveSpacing = r.number(636);
        p.waveStrength = r.number(637);
        p.waveWidth = r.number(638);
        p.laneStartStyle = r.integer(639);
        p.laneEndStyle = r.integer(640);
    }
    if (r.size() < 656) return;
    p.labelEnabled = r.flag(641);
    p.labelSize = r.number(642);
    p.labelOffset = r.pair(643);
    p.labelBackgroundOpacity = std::clamp(r.number(645) / 100, 0.0f, 1.0f);
    p.labelOpacity = std::clamp(r.number(646) / 100, 0.0f, 1.0f);
    p.labelPadding = r.number(647);
    p.labelTextColor = r.rgba(648);
    p.labelBoxColor = r.rgba(652);
}

} // namespace

bool acceptedLength(std::size_t count)
{
    return std::find(acceptedLengths.begin(), acceptedLengths.end(), count) != acceptedLengths.end();
}

void check(std::span<const double> values, double seconds)
{
    checkValues(values);
    if (!std::isfinite(seconds)) throw rendererFailure("Invalid parameter state");
}

MarkerParameters parameters(std::span<const double> values)
{
    checkValues(values);
    const Reader r{values, static_cast<float>(values[19]) == 1.0f};
    MarkerParameters p;
    readRing(r, p);
    readEntranceAndPoints(r, p);
    readArrow(r, p);
    readArc(r, p);
    readGround(r, p);
    readVisionAndLabel(r, p);
    if (r.flipY) p.position = r.point(17);
    const std::int64_t style = p.ringStyle;
    if (style == 6 && !p.points.empty()) p.position = p.points.front();
    if (style == 7) p.labelEnabled = true;
    return p;
}

} // namespace zanto::MarkerValues
