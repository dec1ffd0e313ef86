#pragma once

namespace zanto {

// Sets this process's allocator for the video frames its exports make and
// let go by the thousand, on several threads. Called once, first thing, by
// the program's entry point, before any thread starts; it holds for the rest
// of the process.
void tuneProcessMemory();

} // namespace zanto
