#pragma once

// The renderer value array: a whole marker handed over as one flat list of
// numbers by hosts that drive the renderer directly. Its length says how much
// of the marker it describes; entries map to MarkerParameters fields by a
// fixed index map, every entry read as a 32-bit float (entry 22, the elapsed
// entrance time, as a double). Pure; any thread.

#include "marks/MarkerParameters.h"

#include <cstddef>
#include <span>

namespace zanto::MarkerValues {

// The only lengths a value array may have.
bool acceptedLength(std::size_t count);

// Throws MarkerRendererError "Invalid parameter state" unless the length is
// accepted, every entry is finite with a magnitude below 100,000,000 and
// `seconds` is finite. Run before anything is looked up or drawn.
void check(std::span<const double> values, double seconds);

// The marker an array describes: defaults, overwritten group by group as far
// as the length reaches. Throws like check() for an array check() refuses.
MarkerParameters parameters(std::span<const double> values);

} // namespace zanto::MarkerValues
