#pragma once

// The look of each of the fifteen telestration tools: a full MarkerParameters
// value that a mark's own settings are later applied over. Pure functions of
// the tool name, any thread.

#include "marks/MarkerParameters.h"

#include <string_view>

namespace zanto::GXLPreset {

// The orange of every tool but the arc and the spotlight, and the
// spotlight's gold (single precision, as the renderer keeps them).
inline constexpr Float4 toolOrange = {1, 0.578105f, 0, 1};
inline constexpr Float4 spotlightGold = {1, 0.83f, 0.35f, 1};

// The preset of a tool name (compared exactly); the plain defaults of
// MarkerParameters for any other name.
MarkerParameters parameters(std::string_view tool);

} // namespace zanto::GXLPreset
