// Final Cut Pro XML export of in-place items: each costs a probe of its movie
// by the clip exporter, one one-clip document written atomically (two disk
// syncs), parsed back and merged, and no encoding at all. Measured for 10, 100
// and 1000 items of one 1080p source (1000 is the most an export takes).
// Target: under 25 ms an item, so the largest export is written within 25 s.
#include "playlist/OrganizerExporter.h"
#include "BenchShell.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace zanto;
namespace fs = std::filesystem;

fs::path workFolder()
{
    static const std::filesystem::path folder = bench::benchFolder("zanto-bench-fcpxml");
    return folder;
}

fs::path sourceMovie()
{
    const fs::path path = workFolder() / "match-1080p.mp4";
    if (!fs::exists(path)) {
        const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=60 -f lavfi -i "
                                    "sine=d=60 -c:v libx264 -preset ultrafast -c:a aac -shortest '"
                                    + path.string() + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
    }
    return path;
}

void BM_ExportXmlInPlaceItems(benchmark::State& state)
{
    const int count = int(state.range(0));
    OrganizerDocument document;
    OrganizerSource source;
    source.id = "S1";
    source.path = sourceMovie().string();
    document.sources = {source};
    const std::vector<OrganizerItem> items = bench::inPlaceItems(count);
    document.rows.front().items = items;
    const fs::path destination = workFolder() / "export.fcpxml";
    for (auto _ : state) {
        OrganizerExporter exporter;
        exporter.exportXML(document, items, "Match", destination, nullptr);
    }
    // Seconds per item, printed with an SI prefix ("19m" is 19 ms).
    state.counters["s_per_item"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExportXmlInPlaceItems)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
