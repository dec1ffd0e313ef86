#pragma once
#include <string>
#include <vector>

namespace zanto {

class JsonObjectReader;
class JsonWriter;

// One tagged span of a video, as the page sends it. All keys are required.
struct Clip {
    double start = 0; // seconds
    double end = 0;   // seconds
    std::string name;
    std::string note;
    std::vector<std::string> labels;

    bool operator==(const Clip&) const = default;

    void encode(JsonWriter& writer) const;
    static Clip decode(const JsonObjectReader& reader);
};

} // namespace zanto
