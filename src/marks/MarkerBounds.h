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

// The pieces a marker pass is drawn in: rows of markerBounds cut where the
// marker's parts (its space shape, hull, lines, trail, rings and arrows, as
// the shader's FEATURE_PARTS counts them) may begin or end, each with the
// parts that may draw there. Outside its piece a part draws nothing, so each
// piece shades only its own parts and the pieces together give the pass.
// A marker that darkens or tints the whole picture is one piece of all parts
// (-1).
struct MarkerPiece {
    gpu::PixelRegion region;
    int parts;
};

std::vector<MarkerPiece> markerPieces(const MarkerUniforms& marker, const GroundUniforms& ground,
                                      const TrailUniforms& trail);

} // namespace zanto
