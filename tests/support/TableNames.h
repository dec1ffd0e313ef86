// Readable names for the rows of parameterised test tables.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace zanto::test {

// A test name from a tool or case name: spaces go, any other character gtest
// refuses in a name becomes '_' ("Ring Trail" -> "RingTrail").
inline std::string caseName(std::string name)
{
    std::erase(name, ' ');
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

// Name generator for tables whose rows carry a `name` field.
struct ByName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return caseName(info.param.name);
    }
};

// Name generator for tables whose rows carry a `tool` field.
struct ToolName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return caseName(info.param.tool);
    }
};

} // namespace zanto::test
