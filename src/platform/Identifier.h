#pragma once
#include <string>
#include <string_view>

namespace zanto {

// A fresh random identifier in the text form every stored name uses:
// 36 characters, upper-case hexadecimal digits in groups 8-4-4-4-12.
// Thread-safe.
std::string newIdentifier();

// Whether `text` has the form newIdentifier() gives.
bool isIdentifier(std::string_view text);

} // namespace zanto
