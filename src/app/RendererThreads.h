#pragma once

namespace zanto {

// Sets how many threads the software renderer rasterises on. Called once,
// first thing, by the program's entry point, before any thread starts and
// before the renderer is first used; a value the user set stays.
void limitRendererThreads();

} // namespace zanto
