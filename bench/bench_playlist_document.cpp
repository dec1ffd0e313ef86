// Whole-document work the Organizer does on every edit (an undo snapshot is
// compared by its JSON bytes and written to the recovery file) and before
// every save and export (validation), at the largest size a playlist may have.
#include <string>

#include <benchmark/benchmark.h>

#include "playlist/OrganizerDocument.h"

namespace {

using namespace zanto;

OrganizerDocument largestDocument()
{
    OrganizerDocument document;
    for (int s = 0; s < 4; ++s) {
        OrganizerSource source;
        source.id = "S" + std::to_string(s);
        source.name = "Angle " + std::to_string(s);
        source.path = "/videos/match-" + std::to_string(s) + ".mp4";
        document.sources.push_back(source);
    }
    document.rows.resize(100, document.rows[0]);
    GXLSettings settings;
    settings.tool = "Ring Trail";
    settings.points = {GXLPoint{0.35, 0.4}, GXLPoint{0.65, 0.55}};
    settings.speed = static_cast<double>(0.35f);
    OrganizerMark ring;
    ring.kind = "gxl";
    ring.x = 0.35;
    ring.y = 0.4;
    ring.x2 = 0.65;
    ring.y2 = 0.55;
    ring.gxl = settings;
    OrganizerMark arrow = ring;
    arrow.kind = "arrow";
    arrow.gxl.reset();
    for (int i = 0; i < 10000; ++i) {
        OrganizerItem item;
        item.name = "クリップ " + std::to_string(i);
        item.note = "前半の攻撃から";
        item.start = i * 1.5;
        item.end = i * 1.5 + 7.25;
        item.sourceIDs = {"S0", "S1"};
        item.sourceID = "S0";
        item.labels = std::vector<std::string>{"攻撃", "Set piece"};
        item.marks = std::vector<OrganizerMark>{arrow, ring};
        document.rows[static_cast<std::size_t>(i % 100)].items.push_back(item);
    }
    return document;
}

const OrganizerDocument& document()
{
    static const OrganizerDocument value = largestDocument();
    return value;
}

void encode(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = document().toJson();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(encode)->Unit(benchmark::kMillisecond);

void decode(benchmark::State& state)
{
    const std::string text = document().toJson();
    for (auto _ : state) benchmark::DoNotOptimize(OrganizerDocument::fromJson(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(decode)->Unit(benchmark::kMillisecond);

void validate(benchmark::State& state)
{
    for (auto _ : state) document().validate();
}
BENCHMARK(validate)->Unit(benchmark::kMillisecond);

void copy(benchmark::State& state)
{
    for (auto _ : state) {
        OrganizerDocument snapshot = document();
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(copy)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
