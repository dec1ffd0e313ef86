#pragma once
// What the export benchmarks share: a work folder of their own and the ffmpeg
// command line run through the shell, for the side they are measured against.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

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

} // namespace zanto::bench
