// The text form of the identifiers documents give their rows, items and
// sources: upper-case UUID text, 8-4-4-4-12 hexadecimal digits.
#pragma once

#include <regex>
#include <string>

namespace zanto::test {

inline bool isIdentifier(const std::string& text)
{
    static const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    return std::regex_match(text, form);
}

} // namespace zanto::test
