// Composition export speed against the ffmpeg command line doing the same
// work (trim, scale and pad, concatenate, encode with the same settings) on
// the same 1920 × 1080 H.264 source, in the same run. Target: our export
// takes at most 1.1 × the command line's wall time.
#include "platform/media/CompositionExport.h"
#include "platform/media/ExportQuality.h"
#include "BenchShell.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace zanto;

struct Segment {
    double start;
    double end;
};

// Four pieces of a 12-second source, 8.5 seconds in all.
const std::vector<Segment> kSegments = {{1.0, 3.0}, {4.0, 6.5}, {7.0, 9.0}, {9.5, 11.5}};

using bench::shell;
using bench::shellQuoted;

std::filesystem::path workFolder()
{
    static const std::filesystem::path folder = bench::benchFolder("zanto-bench-media");
    return folder;
}

std::filesystem::path source()
{
    auto path = workFolder() / "source-1080p.mp4";
    if (!std::filesystem::exists(path)) {
        shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=12 -f lavfi -i sine=frequency=440:d=12 "
              "-c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -ac 2 "
              + shellQuoted(path.string()));
    }
    return path;
}

MediaTime seconds(double value)
{
    return MediaTime::fromSeconds(value, 60000);
}

Composition composition()
{
    Composition c;
    MediaTime cursor = MediaTime::zero();
    const double scale = 1280.0 / 1920.0;
    for (const Segment& s : kSegments) {
        MediaTime length = seconds(s.end - s.start);
        c.video.push_back({source(), {seconds(s.start), length}, cursor});
        c.audio.push_back({source(), {seconds(s.start), length}, cursor});
        c.instructions.push_back({{cursor, length}, AffineTransform::scaling(scale, scale)});
        cursor = cursor + length;
    }
    c.duration = cursor;
    return c;
}

std::string commandLine(const std::filesystem::path& output)
{
    std::string filter;
    std::string inputs;
    for (size_t i = 0; i < kSegments.size(); ++i) {
        std::string n = std::to_string(i);
        std::string from = std::to_string(kSegments[i].start), to = std::to_string(kSegments[i].end);
        filter += "[0:v]trim=start=" + from + ":end=" + to
                  + ",setpts=PTS-STARTPTS,"
                    "scale=1280:720:force_original_aspect_ratio=decrease,pad=1280:720:(ow-iw)/2:(oh-ih)/2,setsar=1[v"
                  + n + "];";
        filter += "[0:a]atrim=start=" + from + ":end=" + to + ",asetpts=PTS-STARTPTS[a" + n + "];";
        inputs += "[v" + n + "][a" + n + "]";
    }
    filter += inputs + "concat=n=" + std::to_string(kSegments.size()) + ":v=1:a=1[v][a]";
    std::string command = "ffmpeg -v error -y -i " + shellQuoted(source().string()) + " -filter_complex "
                          + shellQuoted(filter) + " -map '[v]' -map '[a]' -r 30";
    for (const std::string& arg : ExportQuality::commandLineArguments()) command += " " + shellQuoted(arg);
    return command + " " + shellQuoted(output.string());
}

double ourBest = 0;
double theirBest = 0;

void keepBest(double* best, double value)
{
    if (*best == 0 || value < *best) *best = value;
}

template <typename Work>
double timed(Work&& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Both sides run in turn inside each iteration, so that a change in the
// machine's load falls on both alike; the best of each counts.
void BM_CompositionExportVersusCommandLine(benchmark::State& state)
{
    Composition c = composition();
    std::string command = commandLine(workFolder() / "theirs.mp4");
    for (auto _ : state) {
        double ours = timed([&] {
            CompositionExport job(c, workFolder() / "ours.mp4");
            job.run();
        });
        double theirs = timed([&] { shell(command); });
        state.SetIterationTime(ours);
        keepBest(&ourBest, ours);
        keepBest(&theirBest, theirs);
    }
    state.counters["ffmpeg_best_s"] = theirBest;
    state.counters["ours_best_s"] = ourBest;
    state.counters["ratio"] = ourBest / theirBest;
}

BENCHMARK(BM_CompositionExportVersusCommandLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    source();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ourBest > 0 && theirBest > 0)
        std::printf("composition export %.3f s, ffmpeg command line %.3f s, ratio %.2f (target <= 1.10)\n", ourBest,
                    theirBest, ourBest / theirBest);
    return bench::removeUnlessKept(workFolder());
}
