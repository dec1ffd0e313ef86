#pragma once
// Checks of written Final Cut Pro XML files shared by the exporters' tests.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "support/TestMedia.h"

namespace zanto::test {

// The shared test data: $ZANTO_SHARED_DATA when set, else the folder beside
// the checkout. Looked up when a test runs, so a build moved or cloned
// elsewhere finds it (or finds it missing) where it is now.
inline std::filesystem::path sharedDataFolder()
{
    if (const char* folder = std::getenv("ZANTO_SHARED_DATA"); folder && *folder) return folder;
    return ZANTO_SHARED_DATA_DIR;
}

// The document type definition every file we write must satisfy.
inline std::filesystem::path fcpxmlDtd()
{
    return sharedDataFolder() / "FCPXMLv1_10.dtd";
}

// Runs xmllint against the definition; the failure text is xmllint's own.
// Without the definition (a checkout without the shared data) the test is
// marked skipped, naming the missing file, and its other checks still run.
inline testing::AssertionResult validatesAgainstDtd(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(fcpxmlDtd(), error)) {
        [] { GTEST_SKIP() << "missing " << fcpxmlDtd() << " (set ZANTO_SHARED_DATA to the shared data folder)"; }();
        return testing::AssertionSuccess();
    }
    try {
        runTool("xmllint", {"--noout", "--dtdvalid", fcpxmlDtd().string(), file.string()});
        return testing::AssertionSuccess();
    } catch (const std::exception& error) {
        return testing::AssertionFailure() << file << " does not validate: " << error.what();
    }
}

// Parses a written file; fails the test on a parse error.
inline void loadXml(pugi::xml_document& document, const std::filesystem::path& file)
{
    const pugi::xml_parse_result result = document.load_file(file.c_str());
    ASSERT_TRUE(result) << file << ": " << result.description();
}

// The attribute names of an element, in document order, joined by ",".
inline std::string attributeNames(const pugi::xml_node& node)
{
    std::string names;
    for (const pugi::xml_attribute& attribute : node.attributes())
        names += (names.empty() ? "" : ",") + std::string(attribute.name());
    return names;
}

} // namespace zanto::test
