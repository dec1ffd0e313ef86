#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "services/Clip.h"

namespace zanto {

// The body of an export request from the page. All keys are required.
struct ExportRequest {
    // The identity of a source video: file name, byte size and duration.
    struct Source {
        std::string name;      // file name (last path component)
        std::int64_t size = 0; // bytes
        double duration = 0;   // seconds

        bool operator==(const Source&) const = default;

        void encode(JsonWriter& writer) const;
        static Source decode(const JsonObjectReader& reader);
    };

    std::string id;
    std::string mode;  // "individual", "combined" or "fcpxml"
    std::string title; // in mode "fcpxml" it names the written file
    Source source;
    std::vector<Clip> clips;

    bool operator==(const ExportRequest&) const = default;

    void encode(JsonWriter& writer) const;
    static ExportRequest decode(const JsonObjectReader& reader);
};

} // namespace zanto
