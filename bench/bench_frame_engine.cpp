// Time of one telestration export frame: a 1920 x 1080 video frame placed on
// the canvas, two plain marks and three telestration marks (one keyed to the
// turf) rendered over it. Run with --benchmark_repetitions to get the median.

#include "marks/GXLEngine.h"
#include "marks/SoccerCompositor.h"

#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace zanto;

OrganizerMark gxlMark(const std::string& tool, std::vector<GXLPoint> points)
{
    GXLSettings settings{tool, points};
    settings.opacity = 100;
    return OrganizerMark{"gxl", points.front().x, points.front().y, points.back().x, points.back().y, "", settings};
}

std::vector<OrganizerMark> itemMarks()
{
    return {
        OrganizerMark{"arrow", 0.1, 0.2, 0.4, 0.5, "", std::nullopt},
        OrganizerMark{"text", 0.05, 0.9, 0, 0, "ここでプレス", std::nullopt},
        gxlMark("Player Ring", {{0.5, 0.45}}),
        gxlMark("Passing Lane", {{0.35, 0.4}, {0.65, 0.55}}),
        gxlMark("Ground Ring", {{0.7, 0.3}}),
    };
}

QImage videoFrame()
{
    QImage frame(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&frame);
    for (int stripe = 0; stripe < 24; ++stripe)
        painter.fillRect(stripe * 80, 0, 80, 1080,
                         stripe % 2 ? QColor::fromRgbF(0.28f, 0.42f, 0.14f) : QColor::fromRgbF(0.24f, 0.37f, 0.12f));
    return frame;
}

// state.range(0): how many of the item's marks are drawn (2: the plain ones
// only, which isolates the engine's own cost from the GPU passes).
void BM_ExportFrame(benchmark::State& state)
{
    const AffineTransform fit = AffineTransform::scaling(2.0 / 3, 2.0 / 3);
    std::vector<OrganizerMark> marks = itemMarks();
    marks.resize(size_t(state.range(0)));
    SoccerCompositor compositor({SoccerInstruction({MediaTime{0, 30}, MediaTime{300, 30}}, 1, fit, marks)});
    const QImage source = videoFrame();
    const CompositionInstruction instruction{{MediaTime{0, 30}, MediaTime{300, 30}}, fit};
    compositor.compose(CompositorRequest{source, MediaTime{0, 30}, 0, instruction}); // shader and pipelines
    int64_t frame = 0;
    for (auto _ : state) {
        QImage out = compositor.compose(CompositorRequest{source, MediaTime{frame++ % 300, 30}, 0, instruction});
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_ExportFrame)->Arg(5)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PreviewOverlay(benchmark::State& state)
{
    const std::vector<OrganizerMark> marks = itemMarks();
    const QImage background = videoFrame();
    soccerFrame(marks, background, 0, true);
    double seconds = 0;
    for (auto _ : state) {
        QImage out = soccerFrame(marks, background, seconds += 1.0 / 30, true);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PreviewOverlay)->Unit(benchmark::kMillisecond)->UseRealTime();

// An item at the limit of 1000 plain marks: all drawn onto the one canvas, so
// memory stays at one frame whatever the count.
void BM_PlainMarkLimit(benchmark::State& state)
{
    std::vector<OrganizerMark> marks;
    for (int i = 0; i < 1000; ++i) {
        const double t = i / 1000.0;
        const char* kind = i % 3 == 0 ? "arrow" : i % 3 == 1 ? "circle" : "text";
        marks.push_back(
            OrganizerMark{kind, t, 1 - t, std::min(1.0, t + 0.1), 0.5, "№" + std::to_string(i), std::nullopt});
    }
    for (auto _ : state) {
        QImage out = soccerFrame(marks, QImage(), 0, true);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PlainMarkLimit)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // Text marks need the font database of a GUI application.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
