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

// Whether the marker's picture follows the clock beyond its entrance: turning
// ring segments, pulses, waves, chevrons, sweeps, trails, arcs and patterned
// arrows read the blocks' time-driven fields (ring angle, arrow and arc
// phases, draw share, wave phase). A marker that reads none of them gives the
// same pixels whatever they hold. Decided from the same features the
// specialisation is.
bool markerReadsClock(const MarkerUniforms& marker, const GroundUniforms& ground, const TrailUniforms& trail);

} // namespace zanto
