#pragma once
// What the export benchmarks share: a work folder of their own, the ffmpeg
// command line run through the shell, for the side they are measured against,
// and the in-place items the XML exports are measured with.
#include "playlist/OrganizerItem.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace zanto::bench {

// `name` under the temporary folder, or under ZANTO_BENCH_FOLDER when that is
// set (so two builds can be measured side by side); made on first use.
inline std::filesystem::path benchFolder(const std::string& name)
{
    const char* chosen = std::getenv("ZANTO_BENCH_FOLDER");
    const std::filesystem::path path =
        (chosen ? std::filesystem::path(chosen) : std::filesystem::temp_directory_path()) / name;
    std::filesystem::create_directories(path);
    return path;
}

inline std::string shellQuoted(const std::string& text)
{
    return "'" + text + "'";
}

inline void shell(const std::string& command)
{
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// The end of a benchmark program: its work folder goes, unless
// ZANTO_BENCH_KEEP asks to keep what it made for a look or for the next run
// (another build measured against the same movies).
inline int removeUnlessKept(const std::filesystem::path& folder)
{
    if (!std::getenv("ZANTO_BENCH_KEEP")) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return 0;
}

// `count` in-place items of source "S1", 4.5 s each, with a note and labels.
inline std::vector<OrganizerItem> inPlaceItems(int count)
{
    std::vector<OrganizerItem> items;
    for (int i = 0; i < count; ++i) {
        OrganizerItem item;
        item.name = "Clip " + std::to_string(i);
        item.note = "Counter attack down the left";
        item.labels = std::vector<std::string>{"Attack", "Left"};
        item.sourceID = "S1";
        item.sourceIDs = {"S1"};
        item.start = (i % 55) * 1.0;
        item.end = item.start + 4.5;
        items.push_back(item);
    }
    return items;
}

} // namespace zanto::bench
