#pragma once

// The part of the target a marker pass can draw in, worked out on the CPU as
// the shader's vertex function works it out for a specialised draw (the
// triangle it rasterises holds exactly this box). Everything outside is left
// transparent by the pass, so a caller may clear, draw, upload and read back
// only this part. A marker that darkens or tints the whole picture (the
// spotlight, the key preview) bounds nothing: the whole target. Pure; any
// thread.

#include "marks/MarkerUniforms.h"
#include "platform/gpu/PixelFormat.h"

#include <vector>

namespace zanto {

gpu::PixelRegion markerBounds(const MarkerUniforms& marker, const GroundUniforms& ground, const TrailUniforms& trail);

// Bands of rows within markerBounds, each as narrow as what the marker draws
// in those rows allows, for a lane or a space ellipse drawn alone (a slanted
// lane fills little of its box); for rings drawn alone, the part of the box
// they reach seen flat; the box itself for any other marker.
std::vector<gpu::PixelRegion> markerBands(const MarkerUniforms& marker, const GroundUniforms& ground,
                                          const TrailUniforms& trail);

} // namespace zanto
