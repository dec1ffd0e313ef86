// Where the preview's seeks must aim in two 1080p transport streams of some
// 310 MB (120 s at 20 Mb/s): one with a key frame every 2 s, one with a key
// frame only at its start (a recorder that marks none, or a hostile file).
// Measured: the search on the calling thread (prerollFor) with the file in
// memory, and fresh from the disk (a new reader, the file's pages dropped
// first); the asynchronous aim, how long the call holds the calling thread
// and how long its answer takes; how long destroying an aim holds while it
// opens its reader or searches; and the export's reader reaching a frame
// 100 s in. Targets: aim holds its caller no more than 0.5 s, each answer
// comes within 2 s. Seek targets jump about the movie, as clicks along the
// slider ask for them. Old and new builds can share the movies:
// ZANTO_BENCH_FOLDER and ZANTO_BENCH_KEEP (BenchShell.h).
#include "platform/media/FrameReader.h"
#include "platform/media/KeyFrameAim.h"
#include "platform/media/MediaAsset.h"
#include "BenchShell.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace zanto;
using bench::shell;
using bench::shellQuoted;

constexpr const char* kMarked = "marked.ts";
constexpr const char* kUnmarked = "unmarked.ts";

std::filesystem::path workFolder()
{
    static const std::filesystem::path folder = bench::benchFolder("zanto-bench-key-frame-aim");
    return folder;
}

void makeMovies()
{
    if (std::filesystem::exists(workFolder() / kUnmarked)) return;
    const std::string x264 = " -c:v libx264 -threads 3 -preset ultrafast -b:v 20M -pix_fmt yuv420p ";
    shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=120 -map 0" + x264 + "-g 60 "
          + shellQuoted((workFolder() / kMarked).string()) + " -map 0" + x264
          + "-x264-params keyint=infinite:scenecut=0 " + shellQuoted((workFolder() / kUnmarked).string()));
}

// The file's pages dropped from the page cache: the next reader reads the disk.
void dropFromMemory(const std::filesystem::path& path)
{
    const int file = ::open(path.c_str(), O_RDONLY);
    if (file < 0) return;
    ::fdatasync(file);
    ::posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED);
    ::close(file);
}

MediaTime target(int step)
{
    return MediaTime::fromSeconds(double((step * 377) % 1150) / 10 + 2, 90000);
}

double milliseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

enum class Cache { Memory, Disk };

// The search on the calling thread, as the player asked at every seek.
void BM_SearchOnCaller(benchmark::State& state, const char* name, Cache cache)
{
    const std::filesystem::path path = workFolder() / name;
    const MediaAsset asset = MediaAsset::load(path);
    auto aim = std::make_unique<media::KeyFrameAim>(asset);
    double longest = 0;
    int step = 0;
    for (auto _ : state) {
        if (cache == Cache::Disk) {
            dropFromMemory(path);
            aim = std::make_unique<media::KeyFrameAim>(asset);
        }
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(aim->prerollFor(target(step++)));
        const double ms = milliseconds(start);
        longest = std::max(longest, ms);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["longest_ms"] = longest;
}

// The asynchronous aim: the hold is how long the call keeps the calling
// thread, the answer how long until the answer runs there.
void BM_AimHoldAndAnswer(benchmark::State& state, const char* name, Cache cache)
{
    const std::filesystem::path path = workFolder() / name;
    const MediaAsset asset = MediaAsset::load(path);
    auto aim = std::make_unique<media::KeyFrameAim>(asset);
    QObject context;
    double longestHold = 0, longestAnswer = 0;
    int step = 0, known = 0;
    for (auto _ : state) {
        if (cache == Cache::Disk) {
            dropFromMemory(path);
            aim = std::make_unique<media::KeyFrameAim>(asset);
        }
        bool answered = false;
        const auto start = std::chrono::steady_clock::now();
        aim->aim(target(step++), &context, [&](std::optional<MediaTime> preroll) {
            answered = true;
            known += preroll.has_value();
        });
        longestHold = std::max(longestHold, milliseconds(start));
        while (!answered) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double ms = milliseconds(start);
        longestAnswer = std::max(longestAnswer, ms);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["longest_hold_ms"] = longestHold;
    state.counters["longest_answer_ms"] = longestAnswer;
    state.counters["aims_known"] = known;
}

enum class Reader { Opening, Open };

// The aim destroyed while its worker opens its reader (which FFmpeg does in
// one call, not cancelled) or searches, with no bounds to end the search:
// how long the destructor holds.
void BM_AimDestroyedMidSearch(benchmark::State& state, const char* name, Reader reader)
{
    const MediaAsset asset = MediaAsset::load(workFolder() / name);
    QObject context;
    int step = 0;
    for (auto _ : state) {
        auto aim = std::make_unique<media::KeyFrameAim>(asset, media::KeyFrameSearchBounds{.passBytes = INT64_MAX});
        bool answered = false;
        if (reader == Reader::Open) {
            aim->aim(target(step++), &context, [&](std::optional<MediaTime>) { answered = true; });
            while (!answered) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        aim->aim(target(step++), &context, [](std::optional<MediaTime>) {});
        std::this_thread::sleep_for(std::chrono::milliseconds(reader == Reader::Open ? 20 : 5));
        const auto start = std::chrono::steady_clock::now();
        aim.reset();
        state.SetIterationTime(milliseconds(start) / 1000);
    }
}

// The export's reader on a frame 100 s in, its file in memory.
void BM_ExportReaderFarOn(benchmark::State& state, const char* name)
{
    for (auto _ : state) {
        FrameReader reader(workFolder() / name);
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(reader.frameAt(MediaTime::fromSeconds(100.0, 90000)));
        state.SetIterationTime(milliseconds(start) / 1000);
    }
}

BENCHMARK_CAPTURE(BM_SearchOnCaller, marked_memory, kMarked, Cache::Memory)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(40);
BENCHMARK_CAPTURE(BM_SearchOnCaller, unmarked_memory, kUnmarked, Cache::Memory)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_SearchOnCaller, marked_disk, kMarked, Cache::Disk)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_SearchOnCaller, unmarked_disk, kUnmarked, Cache::Disk)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_AimHoldAndAnswer, marked_memory, kMarked, Cache::Memory)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(40);
BENCHMARK_CAPTURE(BM_AimHoldAndAnswer, unmarked_memory, kUnmarked, Cache::Memory)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_AimHoldAndAnswer, marked_disk, kMarked, Cache::Disk)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_AimHoldAndAnswer, unmarked_disk, kUnmarked, Cache::Disk)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_AimDestroyedMidSearch, unmarked_opening, kUnmarked, Reader::Opening)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_AimDestroyedMidSearch, unmarked_searching, kUnmarked, Reader::Open)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ExportReaderFarOn, marked, kMarked)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_ExportReaderFarOn, unmarked, kUnmarked)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    makeMovies();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return bench::removeUnlessKept(workFolder());
}
