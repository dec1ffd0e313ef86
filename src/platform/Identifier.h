#pragma once
#include <string>

namespace zanto {

// A fresh random identifier in the text form every stored name uses:
// 36 characters, upper-case hexadecimal digits in groups 8-4-4-4-12.
// Thread-safe.
std::string newIdentifier();

} // namespace zanto
