#include "marks/GXLPreset.h"

#include <array>

namespace zanto::GXLPreset {

namespace {

// What differs between the ring, lane and space tools.
struct Look {
    std::string_view tools[4];
    bool multipleRings;
    std::int64_t ringStyle;
    Float4 color1;
    float glow;
    std::int64_t lineMode;
    float lineWidth;
    float lineOpacity;
    float fillOpacity;
};

const std::array<Look, 7> looks = {{
    {{"Player Ring", "Team Rings", "Ground Ring"}, true, 1, toolOrange, 55, 1, 3, 100, 0},
    {{"Team Fill", "Ground Team"}, true, 1, toolOrange, 55, 2, 3, 100, 25},
    {{"Ring Trail"}, false, 1, toolOrange, 55, 0, 3, 0, 0},
    {{"Spotlight"}, true, 6, spotlightGold, 55, 1, 3, 100, 0},
    {{"Passing Lane", "Vision Cone", "Ground Passing Lane", "Ground Vision"}, false, 3, toolOrange, 15, 0, 2, 75, 22},
    {{"Space Circle", "Space Rectangle"}, false, 3, toolOrange, 0, 2, 2, 70, 30},
    {{"Space Polygon"}, true, 3, toolOrange, 0, 2, 2, 70, 30},
}};

const Look* lookOf(std::string_view tool)
{
    for (const Look& look : looks) {
        for (std::string_view name : look.tools) {
            if (!name.empty() && name == tool) return &look;
        }
    }
    return nullptr;
}

// Arrow, arc, space and turf-key values every preset states.
void setCommonValues(MarkerParameters& p)
{
    p.thickness = 18;
    p.arrowHead = 30;
    p.arrowSpeed = 1;
    p.arrowDepth = 18;
    p.arrowPerspective = 45;
    p.arrowOpacity = 100;
    p.arrowAnimated = true;
    p.arcHeight = 260;
    p.drawProgress = 100;
    p.trailLength = 100;
    p.spaceMode = 0;
    p.spaceWidth = 700;
    p.spaceHeight = 280;
    p.spaceFeather = 3;
    p.groundTolerance = 18;
    p.groundSoftness = 8;
}

// Values shared by every tool except the lofted arc.
MarkerParameters toolBase(const Look& look)
{
    MarkerParameters p;
    setCommonValues(p);
    p.size = 75;
    p.perspective = 15;
    p.segments = 14;
    p.gap = 36;
    p.speed = 0.35f;
    p.opacity = 100;
    p.tacticalColor = toolOrange;
    p.arrowMode = 0;
    p.arrowWidth = 70;
    p.arrowSpacing = 150;
    p.multipleRings = look.multipleRings;
    p.ringStyle = look.ringStyle;
    p.color1 = look.color1;
    p.glow = look.glow;
    p.lineMode = look.lineMode;
    p.lineWidth = look.lineWidth;
    p.lineOpacity = look.lineOpacity;
    p.fillOpacity = look.fillOpacity;
    return p;
}

// The lofted arc draws only its black arc: the ring is invisible (opacity 0)
// and its colours stay the plain defaults.
MarkerParameters loftedArc()
{
    MarkerParameters p;
    setCommonValues(p);
    p.size = 35;
    p.perspective = 30;
    p.segments = 10;
    p.gap = 20;
    p.speed = 1;
    p.glow = 25;
    p.opacity = 0;
    p.lineMode = 0;
    p.lineWidth = 4;
    p.lineOpacity = 100;
    p.fillOpacity = 0;
    p.groundShadow = 55;
    p.arrowMode = 4;
    p.arrowWidth = 100;
    p.arrowSpacing = 180;
    p.arrowColor = {0, 0, 0, 1};
    p.arcLinePattern = 0;
    p.dashLength = 36;
    p.dashGap = 24;
    p.arcMotionMode = 1;
    p.arcAnimationDuration = 1.2f;
    return p;
}

} // namespace

MarkerParameters parameters(std::string_view tool)
{
    if (tool == "Lofted Arc") return loftedArc();
    if (const Look* look = lookOf(tool)) return toolBase(*look);
    return MarkerParameters();
}

} // namespace zanto::GXLPreset
