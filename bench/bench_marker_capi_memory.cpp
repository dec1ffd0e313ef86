// Memory of a host that calls the C entry points with ever new value arrays
// (random but valid: ring style, rings, line mode, points, fill, arrow and
// space vary, so most calls ask for a feature combination not seen before).
// Reports resident memory after the first calls, after all of them, and the
// peak; flat means the compiled programs the renderer keeps are bounded.
// Run: ZANTO_BENCH_CALLS=10000 bench_marker_capi_memory   (default 10,000)

#include "ZantoMarker.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// A field of /proc/self/status ("VmRSS", "VmHWM") in MB.
double statusMegabytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return 0;
}

std::vector<double> randomArray(std::mt19937& random)
{
    auto pick = [&](int highest) { return double(std::uniform_int_distribution<int>(0, highest)(random)); };
    std::vector<double> values = {1, 0.5, 0, 1, 1, 1, 1, 1, 150, 30, 18, 10, 20, 1, 1, 25, 100, 0.5, 0.5, 0};
    values.resize(108, 0.0);
    values[76] = pick(7), values[77] = pick(1), values[31] = pick(2), values[32] = pick(12);
    values[35] = pick(1) / 2, values[56] = pick(5), values[84] = pick(5);
    values[61] = 0.02, values[62] = 0.05, values[67] = 1;
    return values;
}

void BM_VariedArraysThroughTheCEntryPoints(benchmark::State& state)
{
    const char* configured = std::getenv("ZANTO_BENCH_CALLS");
    const long calls = configured ? std::atol(configured) : 10'000;
    ZantoDevice* device = zanto_device_default(nullptr);
    ZantoTexture* target = zanto_texture_create(device, ZANTO_PIXEL_FORMAT_BGRA8, 640, 360, nullptr);
    if (!device || !target) {
        state.SkipWithError("no GPU device");
        return;
    }
    std::mt19937 random(1);
    double afterWarmUp = 0;
    long failures = 0;
    for (auto _ : state) {
        for (long call = 0; call < calls; ++call) {
            const std::vector<double> values = randomArray(random);
            failures +=
                !zanto_marker_render_texture(target, values.data(), values.size(), nullptr, call * 0.04, nullptr);
            if (call == 99) afterWarmUp = statusMegabytes("VmRSS");
        }
    }
    state.counters["calls"] = double(calls);
    state.counters["failures"] = double(failures);
    state.counters["rss_after_100_MB"] = afterWarmUp;
    state.counters["rss_end_MB"] = statusMegabytes("VmRSS");
    state.counters["rss_peak_MB"] = statusMegabytes("VmHWM");
    zanto_texture_release(target);
    zanto_device_release(device);
}
BENCHMARK(BM_VariedArraysThroughTheCEntryPoints)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
