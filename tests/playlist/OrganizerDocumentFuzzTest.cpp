#include "playlist/OrganizerDocument.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "services/ExportFailure.h"
#include "services/JsonCoding.h"
#include "support/PlaylistSamples.h"

// Random mutations of valid documents must give either a document or a
// DecodingError, never a crash or another kind of failure; whatever reads must
// write again and read back to the same bytes.

namespace zanto {
namespace {

using nlohmann::json;

enum class Result { decoded, refused };

Result checkInput(const std::string& text)
{
    OrganizerDocument document;
    try {
        document = OrganizerDocument::fromJson(text);
    } catch (const DecodingError&) {
        return Result::refused;
    }
    // JSON has no non-finite numbers, so whatever was read can be written.
    const std::string written = document.toJson();
    EXPECT_EQ(OrganizerDocument::fromJson(written).toJson(), written);
    try {
        document.validate();
    } catch (const ExportFailure&) { }
    return Result::decoded;
}

std::string mutateBytes(std::string text, std::mt19937& random)
{
    static const std::string pieces[] = {"{",
                                         "}",
                                         "[",
                                         "]",
                                         ",",
                                         ":",
                                         "\"",
                                         "null",
                                         "1e999",
                                         "-",
                                         "0.5",
                                         "true",
                                         "\\u00",
                                         "\xff",
                                         "\xe6\x97",
                                         "\\",
                                         " ",
                                         "1e-400",
                                         "99999999999999999999"};
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits && !text.empty(); ++edit) {
        const std::size_t at = random() % text.size();
        switch (random() % 5) {
        case 0:
            text[at] = static_cast<char>(random() % 256);
            break;
        case 1:
            text.erase(at, 1 + random() % 8);
            break;
        case 2:
            text.insert(at, pieces[random() % std::size(pieces)]);
            break;
        case 3:
            text.resize(at);
            break;
        default:
            text.insert(at, text.substr(random() % text.size(), random() % 40));
            break;
        }
    }
    return text;
}

// Collects pointers to every object and array in the tree.
void collect(json& node, std::vector<json*>& found)
{
    if (node.is_object() || node.is_array()) {
        found.push_back(&node);
        for (json& child : node) collect(child, found);
    }
}

json randomValue(std::mt19937& random)
{
    switch (random() % 8) {
    case 0:
        return nullptr;
    case 1:
        return static_cast<double>(random()) / 1000.0 - 1e6;
    case 2:
        return static_cast<std::int64_t>(random()) - (1LL << 31);
    case 3:
        return "text";
    case 4:
        return random() % 2 == 0;
    case 5:
        return json::array();
    case 6:
        return json::object();
    default:
        return 18446744073709551615ULL;
    }
}

std::string mutateTree(json tree, std::mt19937& random)
{
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int edit = 0; edit < edits; ++edit) {
        std::vector<json*> containers;
        collect(tree, containers);
        json& target = *containers[random() % containers.size()];
        if (target.empty()) {
            target = randomValue(random);
            continue;
        }
        auto element = std::next(target.begin(), static_cast<long>(random() % target.size()));
        if (random() % 3 == 0 && target.is_object())
            target.erase(element);
        else
            *element = randomValue(random);
    }
    return tree.dump();
}

std::vector<std::string> seeds()
{
    OrganizerDocument large = test::sampleDocument();
    for (int i = 0; i < 30; ++i)
        large.rows[1].items.push_back(test::sampleItem("extra-" + std::to_string(i), i % 2 ? "freeze" : "video"));
    return {test::sampleDocument().toJson(), OrganizerDocument{}.toJson(), large.toJson()};
}

TEST(OrganizerDocumentFuzzTest, ByteMutationsNeverCrash)
{
    std::mt19937 random(20261207);
    int decoded = 0;
    for (const std::string& seed : seeds())
        for (int round = 0; round < 1500; ++round)
            decoded += checkInput(mutateBytes(seed, random)) == Result::decoded ? 1 : 0;
    EXPECT_GT(decoded, 0); // some mutations (inside strings, numbers) still read
}

TEST(OrganizerDocumentFuzzTest, StructuralMutationsNeverCrash)
{
    std::mt19937 random(7);
    int refused = 0;
    for (const std::string& seed : seeds()) {
        const json tree = json::parse(seed);
        for (int round = 0; round < 1500; ++round)
            refused += checkInput(mutateTree(tree, random)) == Result::refused ? 1 : 0;
    }
    EXPECT_GT(refused, 0);
}

TEST(OrganizerDocumentFuzzTest, DeepNestingIsRefusedWithoutOverflowingTheStack)
{
    const std::size_t depth = 200000;
    const std::string nested = std::string(depth, '[') + std::string(depth, ']');
    EXPECT_EQ(checkInput(R"({"format":"zantorix-playlist","version":1,"title":"t","sources":[],"rows":[],"warnings":)"
                         + nested + "}"),
              Result::refused);
    EXPECT_EQ(checkInput(std::string(depth, '{')), Result::refused);
}

} // namespace
} // namespace zanto
