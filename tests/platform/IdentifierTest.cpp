#include "platform/Identifier.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

TEST(Identifier, IsUpperCaseUuidTextAndFresh)
{
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = zanto::newIdentifier();
        EXPECT_TRUE(std::regex_match(id, form)) << id;
        EXPECT_TRUE(seen.insert(id).second);
    }
}
