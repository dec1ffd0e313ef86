#pragma once

// The constants the marker shader is specialised with for one draw, worked
// out from the packed blocks exactly as the shader itself reads them, so that
// a specialised draw gives the same pixels as the unspecialised shader. Each
// constant names a feature the marker uses (ring style, points, lines, fill,
// space shape, arrow, trail, turf key, waves); the compiler drops the rest.
// Pure; any thread.

#include "marks/MarkerUniforms.h"
#include "platform/gpu/Library.h"

namespace zanto {

gpu::FunctionConstants markerShaderConstants(const MarkerUniforms& marker, const GroundUniforms& ground,
                                             const TrailUniforms& trail);

} // namespace zanto
