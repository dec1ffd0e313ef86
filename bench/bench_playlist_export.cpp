// Playlist MP4 export speed: a 10-item playlist of 1920 × 1080 H.264 clips
// (60 s of output) with plain marks on three items, exported by
// OrganizerExporter::render, against the ffmpeg command line doing the same
// work (trim, scale and pad, overlay of the same mark pictures, concatenate,
// encode with the same settings) in the same run. Target: render takes at
// most 1.1 × the command line's wall time. A third run puts telestration
// marks on three items and reports the slowdown against the plain export.
#include "marks/GXLSettings.h"
#include "marks/OrganizerMarkDrawing.h"
#include "platform/media/ExportQuality.h"
#include "playlist/OrganizerExporter.h"
#include "BenchShell.h"
#include "organizer/model/OrganizerEdits.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace zanto;

constexpr int itemCount = 10;
constexpr double itemSeconds = 6.0;
constexpr double sourceSeconds = 32.0;

using bench::shell;
using bench::shellQuoted;

std::filesystem::path workFolder()
{
    static const std::filesystem::path folder = bench::benchFolder("zanto-bench-playlist");
    return folder;
}

std::filesystem::path source(int index)
{
    auto path = workFolder() / ("source" + std::to_string(index) + "-1080p.mp4");
    if (!std::filesystem::exists(path)) {
        const std::string seconds = std::to_string(int(sourceSeconds));
        const std::string picture = index == 0 ? "testsrc2" : "smptehdbars";
        shell("ffmpeg -v error -y -f lavfi -i " + picture + "=s=1920x1080:r=30:d=" + seconds
              + " -f lavfi -i sine=frequency=" + std::to_string(330 + 110 * index) + ":d=" + seconds
              + " -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -ac 2 " + shellQuoted(path.string()));
    }
    return path;
}

OrganizerMark plain(const std::string& kind, double x, double y, double x2, double y2, const std::string& text = "")
{
    OrganizerMark mark;
    mark.kind = kind;
    mark.x = x;
    mark.y = y;
    mark.x2 = x2;
    mark.y2 = y2;
    mark.text = text;
    return mark;
}

// A newly added drawing material, as the Organizer makes one.
OrganizerMark telestration(const std::string& tool)
{
    return edits::materialMark(tool);
}

bool hasMarks(int index)
{
    return index % 3 == 1; // items 1, 4 and 7
}

struct Playlist {
    OrganizerDocument document;
    std::vector<OrganizerItem> items;
};

Playlist playlist(bool withTelestration)
{
    Playlist p;
    p.document.sources = {OrganizerSource{.id = "A", .name = "A", .path = source(0).string(), .offset = 0},
                          OrganizerSource{.id = "B", .name = "B", .path = source(1).string(), .offset = 0}};
    for (int i = 0; i < itemCount; ++i) {
        OrganizerItem item;
        item.name = "Clip " + std::to_string(i + 1);
        item.sourceID = i % 2 == 0 ? "A" : "B";
        item.sourceIDs = {item.sourceID};
        item.start = 1.0 + (i / 2) * itemSeconds / 2;
        item.end = item.start + itemSeconds;
        if (hasMarks(i)) {
            std::vector<OrganizerMark> marks{plain("arrow", 0.2, 0.2, 0.6, 0.5), plain("circle", 0.55, 0.4, 0.75, 0.7),
                                             plain("text", 0.1, 0.85, 0, 0, "マーク " + std::to_string(i))};
            if (withTelestration) marks.push_back(telestration("Player Ring"));
            item.marks = marks;
        }
        p.items.push_back(item);
    }
    return p;
}

// The same playlist as one ffmpeg command line: each item seeked and cut from
// its source, scaled and padded into 1280 × 720, its marks picture laid over
// it, then all of them concatenated and encoded with the export settings.
std::string commandLine(const Playlist& p, const std::filesystem::path& output)
{
    std::string inputs;
    std::string filter;
    std::string concat;
    int input = 0;
    for (int i = 0; i < itemCount; ++i) {
        const OrganizerItem& item = p.items[size_t(i)];
        const std::string length = std::to_string(item.end - item.start);
        const std::string path = item.sourceID == "A" ? source(0).string() : source(1).string();
        inputs += " -ss " + std::to_string(item.start) + " -t " + length + " -i " + shellQuoted(path);
        const std::string n = std::to_string(i);
        const int clip = input++;
        filter += "[" + std::to_string(clip)
                  + ":v]fps=30,scale=1280:720:force_original_aspect_ratio=decrease,"
                    "pad=1280:720:(ow-iw)/2:(oh-ih)/2,setsar=1[v"
                  + n + "];";
        filter += "[" + std::to_string(clip) + ":a]aresample=48000[a" + n + "];";
        std::string video = "[v" + n + "]";
        if (item.marks && !item.marks->empty()) {
            const auto picture = workFolder() / ("marks" + n + ".png");
            organizerMarkImage(*item.marks).save(QString::fromStdString(picture.string()));
            inputs += " -loop 1 -framerate 30 -t " + length + " -i " + shellQuoted(picture.string());
            filter += video + "[" + std::to_string(input++) + ":v]overlay=shortest=1[o" + n + "];";
            video = "[o" + n + "]";
        }
        concat += video + "[a" + n + "]";
    }
    filter += concat + "concat=n=" + std::to_string(itemCount) + ":v=1:a=1[v][a]";
    std::string command =
        "ffmpeg -v error -y" + inputs + " -filter_complex " + shellQuoted(filter) + " -map '[v]' -map '[a]' -r 30";
    for (const std::string& arg : ExportQuality::commandLineArguments()) command += " " + shellQuoted(arg);
    return command + " " + shellQuoted(output.string());
}

double renderBest = 0;
double commandBest = 0;
double telestrationBest = 0;
std::string telestrationError;

void keepBest(double* best, double value)
{
    if (*best == 0 || value < *best) *best = value;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Both sides in turn within each iteration, so that a change in the
// machine's load touches both alike.
void BM_RenderAgainstCommandLine(benchmark::State& state)
{
    const Playlist p = playlist(false);
    const std::string command = commandLine(p, workFolder() / "theirs.mp4");
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        shell(command);
        keepBest(&commandBest, seconds(start));

        start = std::chrono::steady_clock::now();
        OrganizerExporter exporter;
        exporter.render(p.document, p.items, workFolder() / "ours.mp4", [](double, const std::string&) {});
        const double elapsed = seconds(start);
        keepBest(&renderBest, elapsed);
        state.SetIterationTime(elapsed);
    }
    state.counters["ffmpeg_s"] = commandBest;
    state.counters["render_s"] = renderBest;
    state.counters["ratio"] = renderBest / commandBest;
}

void BM_RenderTelestration(benchmark::State& state)
{
    const Playlist p = playlist(true);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        try {
            OrganizerExporter exporter;
            exporter.render(p.document, p.items, workFolder() / "telestration.mp4", [](double, const std::string&) {});
        } catch (const std::exception& error) {
            telestrationError = error.what();
            state.SkipWithError(error.what());
            break;
        }
        const double elapsed = seconds(start);
        state.SetIterationTime(elapsed);
        keepBest(&telestrationBest, elapsed);
    }
}

// One 10-second title card: 300 frames of one picture written as a slide
// movie, then exported.
void BM_TitleSlide(benchmark::State& state)
{
    OrganizerItem title;
    title.name = "前半のまとめ";
    title.note = "セットプレーからの失点";
    title.kind = "title";
    title.start = 0;
    title.end = 10;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        OrganizerExporter exporter;
        exporter.render(OrganizerDocument{}, {title}, workFolder() / "title.mp4", [](double, const std::string&) {});
        state.SetIterationTime(seconds(start));
    }
}

BENCHMARK(BM_TitleSlide)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_RenderAgainstCommandLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RenderTelestration)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv); // fonts for the text marks
    benchmark::Initialize(&argc, argv);
    source(0);
    source(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (renderBest > 0 && commandBest > 0)
        std::printf("playlist render %.2f s, ffmpeg command line %.2f s, ratio %.2f (target <= 1.10)\n", renderBest,
                    commandBest, renderBest / commandBest);
    if (telestrationBest > 0 && renderBest > 0)
        std::printf("with telestration marks on three items %.2f s, %.2f x the plain export\n", telestrationBest,
                    telestrationBest / renderBest);
    else if (!telestrationError.empty())
        std::printf("telestration export failed: %s\n", telestrationError.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(workFolder(), ignored);
    return 0;
}
