// Time to render one telestration mark into a 1280 x 720 target on the GPU,
// for each of the fifteen tools: the marker pass with its synchronous wait
// (ground tools over a source frame, in overlay mode as the frame engine
// asks), the same stacked piece by piece as an export draws it, and
// separately the read-back of the finished canvas.
// Run: bench_marker_renderer --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "marks/GXLSettings.h"
#include "marks/MarkerBounds.h"
#include "marks/MarkerParameters.h"
#include "marks/MarkerRenderer.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Texture.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace zanto;

namespace {

struct Bench {
    std::shared_ptr<gpu::Device> device = gpu::Device::systemDefault();
    MarkerRenderer renderer{device, MarkerRenderer::shaderResource().value_or("")};
    gpu::TextureDescriptor canvas{gpu::PixelFormat::BGRA8Unorm, 1280, 720,
                                  gpu::TextureUsage::RenderTarget | gpu::TextureUsage::ShaderRead};
    std::shared_ptr<gpu::Texture> target = device->makeTexture(canvas);
    std::shared_ptr<gpu::Texture> frame = makeFrame();

    std::shared_ptr<gpu::Texture> makeFrame()
    {
        // Turf green with a lighter band, enough for the key to work on.
        std::vector<std::uint8_t> bytes(1280 * 720 * 4);
        for (std::size_t i = 0; i < bytes.size(); i += 4) {
            const bool band = (i / 4 % 1280) / 80 % 2 == 0;
            bytes[i] = band ? 31 : 36;
            bytes[i + 1] = band ? 94 : 107;
            bytes[i + 2] = band ? 61 : 71;
            bytes[i + 3] = 255;
        }
        auto texture = device->makeTexture(canvas);
        texture->replace(bytes.data(), 1280 * 4);
        return texture;
    }
};

Bench& bench()
{
    static Bench shared;
    return shared;
}

MarkerParameters toolParameters(const std::string& tool)
{
    GXLSettings settings = GXLSettings::material(tool);
    return settings.parameters();
}

void renderTool(benchmark::State& state, const std::string& tool)
{
    auto& b = bench();
    const MarkerParameters parameters = toolParameters(tool);
    const bool ground = GXLSettings::material(tool).ground();
    b.renderer.render(b.target, parameters, 0, ground ? b.frame : nullptr, {}, true); // pipelines made
    double seconds = 0;
    for (auto _ : state) {
        b.renderer.render(b.target, parameters, seconds, ground ? b.frame : nullptr, {}, true);
        seconds += 1.0 / 30;
    }
}

// The export's road: the marker stacked over the frame it keys to, piece by
// piece, as an export draws it on a still.
void stackTool(benchmark::State& state, const std::string& tool)
{
    auto& b = bench();
    const MarkerParameters parameters = toolParameters(tool);
    const gpu::PixelRegion area =
        markerBounds(parameters.uniforms(1280, 720, 0), parameters.groundUniforms(1280, 720, 0),
                     parameters.trailUniforms(1280, 720));
    b.renderer.renderStack(b.target, {parameters}, 0, b.frame, area); // pipelines made
    double seconds = 0;
    for (auto _ : state) {
        b.renderer.renderStack(b.target, {parameters}, seconds, b.frame, area);
        seconds += 1.0 / 30;
    }
}

void readBack(benchmark::State& state)
{
    auto& b = bench();
    std::vector<std::uint8_t> bytes(1280 * 720 * 4);
    for (auto _ : state) {
        b.target->getBytes(bytes.data(), 1280 * 4);
        benchmark::DoNotOptimize(bytes.data());
    }
}

const bool registered = [] {
    for (const auto& tool : GXLSettings::tools())
        benchmark::RegisterBenchmark(("render/" + tool).c_str(), renderTool, tool)
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    for (const auto& tool : GXLSettings::tools())
        benchmark::RegisterBenchmark(("stack/" + tool).c_str(), stackTool, tool)
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("readBack/1280x720", readBack)->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace

BENCHMARK_MAIN();
