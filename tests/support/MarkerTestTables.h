// Checks the marker tests share: a per-tool table covers exactly the tools a
// mark may name, and refusals come as the renderer's own error.
#pragma once

#include "marks/GXLSettings.h"
#include "marks/MarkerRendererError.h"
#include "support/TableNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace zanto::test {

// Fails unless the rows name every tool once, whatever the order.
template <typename Rows>
void expectEveryToolListed(const Rows& rows)
{
    std::vector<std::string> listed;
    for (const auto& row : rows) listed.push_back(row.tool);
    std::vector<std::string> tools = GXLSettings::tools();
    std::sort(listed.begin(), listed.end());
    std::sort(tools.begin(), tools.end());
    EXPECT_EQ(listed, tools);
}

// Fails unless `action` throws the renderer's error carrying `message`.
inline void expectRendererError(const std::function<void()>& action, const char* message)
{
    try {
        action();
        ADD_FAILURE() << "accepted";
    } catch (const MarkerRendererError& error) {
        EXPECT_STREQ(error.what(), message);
        EXPECT_EQ(error.domain(), "FC.GXL.PlayerMarker");
        EXPECT_EQ(error.code(), 1);
    }
}

} // namespace zanto::test
