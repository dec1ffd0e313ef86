// Small pieces the marker test tables share: readable case names and the
// check that a per-tool table covers exactly the tools a mark may name.
#pragma once

#include "marks/GXLSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace zanto::testing_tables {

// A test name from a tool or case name: spaces go, any other character gtest
// refuses in a name becomes '_' ("Ring Trail" -> "RingTrail").
inline std::string caseName(std::string name) {
    std::erase(name, ' ');
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

// Parameter-name generator for tables whose rows carry a `tool` field.
struct ToolName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return caseName(info.param.tool);
    }
};

// Fails unless `listed` names every tool once, whatever the order.
template <typename Rows>
void expectEveryToolListed(const Rows& rows) {
    std::vector<std::string> listed;
    for (const auto& row : rows) listed.push_back(row.tool);
    std::vector<std::string> tools = GXLSettings::tools();
    std::sort(listed.begin(), listed.end());
    std::sort(tools.begin(), tools.end());
    EXPECT_EQ(listed, tools);
}

} // namespace zanto::testing_tables
