// The check that a per-tool marker table covers exactly the tools a mark may
// name, beside the table naming helpers.
#pragma once

#include "marks/GXLSettings.h"
#include "support/TableNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zanto::test {

// Fails unless the rows name every tool once, whatever the order.
template <typename Rows>
void expectEveryToolListed(const Rows& rows) {
    std::vector<std::string> listed;
    for (const auto& row : rows) listed.push_back(row.tool);
    std::vector<std::string> tools = GXLSettings::tools();
    std::sort(listed.begin(), listed.end());
    std::sort(tools.begin(), tools.end());
    EXPECT_EQ(listed, tools);
}

} // namespace zanto::test
