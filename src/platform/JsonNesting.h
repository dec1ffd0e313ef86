#pragma once
#include <cstddef>
#include <string_view>

namespace zanto {

// The deepest nesting of arrays and objects in a JSON text, found by one scan
// that skips strings (escapes included) without parsing anything else. Lets a
// reader refuse a hostile file before a parser builds millions of nested
// containers from it. Malformed text gets a number too; the parser judges it.
std::size_t jsonNestingDepth(std::string_view text);

// Deeper than this, a file of ours is not genuine: our own documents nest
// about ten levels.
constexpr std::size_t jsonNestingLimit = 512;

} // namespace zanto
