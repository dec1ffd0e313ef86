// How long the probe takes on a 1080p 60 s movie, where it may read the file's
// tail to find where the data stops: Matroska with its index (cues) at the end,
// the same without its tracks' DURATION tags (their ends read from the tail),
// without an index, written live (no stated length, measured from its tail) and cut
// short (its cues lost); an AVI cut short (its index lost, its chunks counted),
// and one whose index gave way to a million empty chunks, each counted; MP4 for
// reference. The files stay in the page cache, so this measures the work, not
// the disk.
#include "platform/media/KeyFrameAim.h"
#include "platform/media/MediaAsset.h"
#include "BenchShell.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace zanto;
using bench::shell;
using bench::shellQuoted;

std::filesystem::path workFolder()
{
    static const std::filesystem::path folder = bench::benchFolder("zanto-bench-probe");
    return folder;
}

std::string quoted(const char* name)
{
    return shellQuoted((workFolder() / name).string());
}

void keepShare(const char* from, const char* to, double share)
{
    std::filesystem::copy_file(workFolder() / from, workFolder() / to,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(workFolder() / to,
                                 uintmax_t(double(std::filesystem::file_size(workFolder() / from)) * share));
}

// A short AVI whose index is replaced by 2^20 empty chunks: the count walks
// through them all, a chunk header every eight bytes.
void makeManyChunks()
{
    if (std::filesystem::exists(workFolder() / "chunks.avi")) return;
    shell("ffmpeg -v error -y -f lavfi -i color=c=black:s=160x90:r=30:d=10 -c:v libx264 -preset ultrafast "
          "-pix_fmt yuv420p "
          + quoted("indexed.avi"));
    std::ifstream in(workFolder() / "indexed.avi", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream out(workFolder() / "chunks.avi", std::ios::binary);
    out << bytes.substr(0, bytes.rfind("idx1"));
    for (int i = 0; i < 1 << 20; ++i) out.write("JUNK\0\0\0\0", 8);
}

// The Matroska with its index, its tracks' DURATION tags renamed away, as a
// writer that leaves none writes it: the tracks' ends are read from its tail.
void makeUntagged()
{
    if (std::filesystem::exists(workFolder() / "untagged.mkv")) return;
    std::ifstream in(workFolder() / "whole.mkv", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    for (size_t at = bytes.find("DURATION"); at != bytes.npos; at = bytes.find("DURATION", at + 1)) bytes[at] = 'X';
    std::ofstream(workFolder() / "untagged.mkv", std::ios::binary) << bytes;
}

void makeMovies()
{
    makeManyChunks();
    if (std::filesystem::exists(workFolder() / "cut.avi")) return;
    shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=60 -f lavfi -i sine=frequency=440:d=60 "
          "-c:v libx264 -threads 3 -preset ultrafast -g 60 -pix_fmt yuv420p -c:a aac -ac 2 "
          + quoted("whole.mkv"));
    shell("ffmpeg -v error -y -i " + quoted("whole.mkv") + " -c copy " + quoted("whole.mp4"));
    // Written to a pipe, Matroska gets no cues.
    shell("ffmpeg -v error -y -i " + quoted("whole.mkv") + " -c copy -f matroska - > " + quoted("nocues.mkv"));
    // Written as a live stream, it states no length either: the probe measures it.
    shell("ffmpeg -v error -y -i " + quoted("whole.mkv") + " -c copy -live 1 -f matroska - > " + quoted("live.mkv"));
    shell("ffmpeg -v error -y -i " + quoted("whole.mkv") + " -c copy -bsf:v h264_mp4toannexb " + quoted("whole.avi"));
    keepShare("whole.mkv", "cut.mkv", 0.6);
    keepShare("whole.avi", "cut.avi", 0.6);
    // A transport stream as a recorder writes one (a key frame every 2 s),
    // and as ffmpeg's defaults write one (every 250 frames, 8.3 s).
    shell("ffmpeg -v error -y -i " + quoted("whole.mkv") + " -c copy " + quoted("whole.ts"));
    shell("ffmpeg -v error -y -i " + quoted("whole.mkv")
          + " -c:v libx264 -threads 3 -preset ultrafast -g 250 -c:a copy " + quoted("long-gop.ts"));
}

void BM_Probe(benchmark::State& state, const char* name)
{
    const std::filesystem::path path = workFolder() / name;
    MediaAsset asset;
    for (auto _ : state) {
        asset = MediaAsset::load(path);
        benchmark::DoNotOptimize(asset);
    }
    state.counters["duration_s"] = asset.duration.seconds();
    state.counters["data_end_s"] = asset.dataEnd ? asset.dataEnd->seconds() : -1;
}

BENCHMARK_CAPTURE(BM_Probe, mp4, "whole.mp4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, matroska_with_cues, "whole.mkv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, matroska_untagged, "untagged.mkv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, matroska_without_cues, "nocues.mkv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, matroska_live, "live.mkv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, matroska_cut, "cut.mkv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, avi_cut, "cut.avi")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, avi_many_chunks, "chunks.avi")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, transport_stream, "whole.ts")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Probe, transport_stream_long_gop, "long-gop.ts")->Unit(benchmark::kMillisecond);

// Where a preview's seek must aim in a transport stream, at times spread
// over the movie, as a drag along the slider asks for them.
void BM_KeyFrameAim(benchmark::State& state, const char* name)
{
    media::KeyFrameAim aim(MediaAsset::load(workFolder() / name));
    double preroll = 0;
    int step = 0;
    for (auto _ : state) {
        const double seconds = double((step++ * 37) % 580) / 10;
        preroll = std::max(preroll, aim.prerollFor(MediaTime::fromSeconds(seconds, 90000)).seconds());
    }
    state.counters["longest_preroll_s"] = preroll;
}

BENCHMARK_CAPTURE(BM_KeyFrameAim, transport_stream, "whole.ts")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeyFrameAim, transport_stream_long_gop, "long-gop.ts")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    makeMovies();
    makeUntagged();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return bench::removeUnlessKept(workFolder());
}
