// Cost of turning one telestration mark into the shader's parameter blocks,
// which happens afresh for every mark of every rendered frame.

#include "marks/GXLSettings.h"
#include "marks/MarkerParameters.h"

#include <benchmark/benchmark.h>

using namespace zanto;

namespace {

GXLSettings crowdedTeam()
{
    GXLSettings s = GXLSettings::material("Team Fill");
    s.points.clear();
    for (int i = 0; i < 12; ++i) s.points.push_back({0.05 + 0.07 * i, 0.3 + 0.03 * (i % 5)});
    return s;
}

void settingsToParameters(benchmark::State& state)
{
    const GXLSettings s = GXLSettings::material("Ring Trail");
    for (auto _ : state) benchmark::DoNotOptimize(s.parameters());
}
BENCHMARK(settingsToParameters);

void packTwelvePlayerBlocks(benchmark::State& state)
{
    const MarkerParameters p = crowdedTeam().parameters();
    double t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.uniforms(1280, 720, t));
        benchmark::DoNotOptimize(p.groundUniforms(1280, 720, t));
        benchmark::DoNotOptimize(p.trailUniforms(1280, 720));
        t += 1.0 / 30;
    }
}
BENCHMARK(packTwelvePlayerBlocks);

void packRingTrailBlocks(benchmark::State& state)
{
    const MarkerParameters p = GXLSettings::material("Ring Trail").parameters();
    for (auto _ : state) benchmark::DoNotOptimize(p.trailUniforms(1280, 720));
}
BENCHMARK(packRingTrailBlocks);

} // namespace

BENCHMARK_MAIN();
