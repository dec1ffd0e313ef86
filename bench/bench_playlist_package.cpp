// Saving and opening playlist packages at the largest size a playlist may
// have (10,000 items), a resave over the package the document came from
// (its embedded videos move on by link, not by copy), and the import of a
// Sportscode playlist with as many clips.
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/FileSystem.h"
#include "platform/Identifier.h"
#include "playlist/OrganizerDocument.h"

namespace {

using namespace zanto;
namespace fs = std::filesystem;

struct BenchFolder {
    BenchFolder() : path(temporaryFolder() / ("zanto-bench-" + newIdentifier())) { fs::create_directories(path); }
    ~BenchFolder() { fs::remove_all(path); }
    fs::path path;
};

OrganizerDocument largestDocument(const fs::path& folder)
{
    OrganizerDocument document;
    for (int s = 0; s < 4; ++s) {
        const fs::path video = folder / ("match-" + std::to_string(s) + ".mp4");
        std::ofstream(video, std::ios::binary) << std::string(4 << 20, static_cast<char>('a' + s));
        document.sources.push_back({.id = "S" + std::to_string(s), .name = "Angle", .path = video, .offset = 0});
    }
    document.rows.resize(100, document.rows[0]);
    for (int i = 0; i < 10000; ++i) {
        OrganizerItem item;
        item.name = "Clip " + std::to_string(i);
        item.start = i;
        item.end = i + 5;
        item.sourceIDs = {"S0", "S1", "S2", "S3"};
        item.sourceID = "S" + std::to_string(i % 4);
        document.rows[static_cast<std::size_t>(i % 100)].items.push_back(item);
    }
    return document;
}

void BM_WriteLinkedPackage(benchmark::State& state)
{
    BenchFolder folder;
    const OrganizerDocument document = largestDocument(folder.path);
    for (auto _ : state) document.write(folder.path / "Linked.zantoplaylist", false);
}
BENCHMARK(BM_WriteLinkedPackage)->Unit(benchmark::kMillisecond);

void BM_ReadPackage(benchmark::State& state)
{
    BenchFolder folder;
    largestDocument(folder.path).write(folder.path / "Read.zantoplaylist", true);
    for (auto _ : state) benchmark::DoNotOptimize(OrganizerDocument::read(folder.path / "Read.zantoplaylist"));
}
BENCHMARK(BM_ReadPackage)->Unit(benchmark::kMillisecond);

void BM_ResaveEmbeddedOverItself(benchmark::State& state)
{
    BenchFolder folder;
    const fs::path package = folder.path / "Own.zantoplaylist";
    largestDocument(folder.path).write(package, true);
    const OrganizerDocument opened = OrganizerDocument::read(package);
    for (auto _ : state) opened.write(package, true);
}
BENCHMARK(BM_ResaveEmbeddedOverItself)->Unit(benchmark::kMillisecond);

void BM_ImportSportscode(benchmark::State& state)
{
    BenchFolder folder;
    nlohmann::json clips = nlohmann::json::array();
    nlohmann::json ids = nlohmann::json::array();
    for (int i = 0; i < 10000; ++i) {
        const std::string id = "c" + std::to_string(i);
        clips.push_back({{"id", id},
                         {"videoId", "v1"},
                         {"startTime", i},
                         {"endTime", i + 4},
                         {"description", "Pass"},
                         {"moment", {{"tags", {{{"key", "Player"}, {"value", "7"}}}}}}});
        ids.push_back(id);
    }
    const nlohmann::json root = {
        {"playlist",
         {{"videos", {{{"id", "v1"}, {"path", "/m/Game.mov"}, {"streams", {{{"id", "s1"}}, {{"id", "s2"}}}}}}},
          {"clips", clips},
          {"groups", {{{"name", "All"}, {"clipIds", ids}}}}}}};
    fs::create_directories(folder.path / "Game.SCPlaylist");
    std::ofstream(folder.path / "Game.SCPlaylist/Playlist.SCClips") << root.dump();
    for (auto _ : state) benchmark::DoNotOptimize(OrganizerDocument::read(folder.path / "Game.SCPlaylist"));
}
BENCHMARK(BM_ImportSportscode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
