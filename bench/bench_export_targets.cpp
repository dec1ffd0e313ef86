// The playlist export's speed and memory targets, each printed with its
// ratio or figure and whether it is met. Both sides of every comparison run
// alternately in the same process, and the median of the rounds counts, so a
// change in the machine's load touches both alike.
//
//   bench_export_targets [speed|telestration|xml|memory|large|all] [rounds]
//
// Sources and outputs go to $ZANTO_BENCH_FOLDER (a temporary folder otherwise).
// speed:        the plain playlist export against the encode-only floor
//               (ffmpeg encoding as many 1280 x 720 frames at our settings
//               from a generated picture) and against the ffmpeg command line
//               doing the whole job; then the same on two cores.
// telestration: the same playlist with telestration marks on three items
//               against the plain export.
// xml:          the merged XML export of 1,000 in-place items of one movie.
// memory:       peak resident memory of playlist exports of 10, 200 and 1,000
//               items with marks on every third, each in a child process.
// large:        peak resident memory of exporting 2 s of an 8000 x 8000 movie.
#include "marks/GXLSettings.h"
#include "marks/OrganizerMarkDrawing.h"
#include "platform/media/ExportQuality.h"
#include "playlist/OrganizerExporter.h"
#include "BenchShell.h"
#include "organizer/model/OrganizerEdits.h"

#include <QGuiApplication>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace zanto;
namespace fs = std::filesystem;

using bench::shellQuoted;
using bench::shell;

fs::path workFolder()
{
    static const std::filesystem::path folder = bench::benchFolder("zanto-bench-targets");
    return folder;
}

std::string qualityArguments(bool audio)
{
    std::string args;
    const std::vector<std::string> all = ExportQuality::commandLineArguments();
    for (size_t i = 0; i < all.size(); ++i) {
        if (!audio && (all[i] == "-c:a" || all[i] == "-ar" || all[i] == "-ac" || all[i] == "-b:a")) {
            ++i;
            continue;
        }
        args += " " + shellQuoted(all[i]);
    }
    return args + (audio ? "" : " -an");
}

// 1080p sources with sound, made once per run folder.
fs::path source(int index)
{
    const fs::path path = workFolder() / ("source" + std::to_string(index) + "-1080p.mp4");
    if (!fs::exists(path)) {
        const std::string picture = index == 0 ? "testsrc2" : "smptehdbars";
        shell("ffmpeg -v error -y -f lavfi -i " + picture + "=s=1920x1080:r=30:d=32 -f lavfi -i sine=frequency="
              + std::to_string(330 + 110 * index) + ":d=32 -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p "
              "-c:a aac -ac 2 " + shellQuoted(path.string()));
    }
    return path;
}

OrganizerMark plainMark(const std::string& kind, double x, double y, double x2, double y2)
{
    OrganizerMark mark;
    mark.kind = kind;
    mark.x = x;
    mark.y = y;
    mark.x2 = x2;
    mark.y2 = y2;
    mark.text = kind == "text" ? "マーク" : "";
    return mark;
}

// A newly added drawing material, as the Organizer makes one.
OrganizerMark telestration(const std::string& tool)
{
    return edits::materialMark(tool);
}

struct Playlist {
    OrganizerDocument document;
    std::vector<OrganizerItem> items;
};

enum class Marks { Plain, Telestration };

// `count` items of `seconds` each, alternating between the two sources, with
// marks on every third item (items 1, 4, 7, ...).
Playlist playlist(int count, double seconds, Marks marks)
{
    Playlist p;
    p.document.sources = {OrganizerSource{.id = "A", .name = "A", .path = source(0).string(), .offset = 0},
                          OrganizerSource{.id = "B", .name = "B", .path = source(1).string(), .offset = 0}};
    for (int i = 0; i < count; ++i) {
        OrganizerItem item;
        item.name = "Clip " + std::to_string(i + 1);
        item.sourceID = i % 2 == 0 ? "A" : "B";
        item.sourceIDs = {item.sourceID};
        item.start = 1.0 + std::fmod(i / 2 * seconds / 2, 24.0);
        item.end = item.start + seconds;
        if (i % 3 == 1) {
            std::vector<OrganizerMark> drawn{plainMark("arrow", 0.2, 0.2, 0.6, 0.5),
                                             plainMark("circle", 0.55, 0.4, 0.75, 0.7),
                                             plainMark("text", 0.1, 0.85, 0, 0)};
            if (marks == Marks::Telestration)
                drawn.push_back(telestration("Player Ring"));
            item.marks = drawn;
        }
        p.items.push_back(item);
    }
    return p;
}

// The same playlist as one ffmpeg command line: each item cut from its
// source, scaled and padded into 1280 x 720, its marks laid over, all of them
// concatenated and encoded with the export settings.
std::string commandLine(const Playlist& p, const fs::path& output)
{
    std::string inputs, filter, concat;
    int input = 0;
    for (size_t i = 0; i < p.items.size(); ++i) {
        const OrganizerItem& item = p.items[i];
        const std::string length = std::to_string(item.end - item.start);
        const std::string n = std::to_string(i);
        const int clip = input++;
        inputs += " -ss " + std::to_string(item.start) + " -t " + length + " -i "
                  + shellQuoted(source(item.sourceID == "A" ? 0 : 1).string());
        filter += "[" + std::to_string(clip) + ":v]fps=30,scale=1280:720:force_original_aspect_ratio=decrease,"
                  "pad=1280:720:(ow-iw)/2:(oh-ih)/2,setsar=1[v" + n + "];[" + std::to_string(clip)
                  + ":a]aresample=48000[a" + n + "];";
        std::string video = "[v" + n + "]";
        if (item.marks && !item.marks->empty()) {
            const fs::path picture = workFolder() / ("marks" + n + ".png");
            organizerMarkImage(*item.marks).save(QString::fromStdString(picture.string()));
            inputs += " -loop 1 -framerate 30 -t " + length + " -i " + shellQuoted(picture.string());
            filter += video + "[" + std::to_string(input++) + ":v]overlay=shortest=1[o" + n + "];";
            video = "[o" + n + "]";
        }
        concat += video + "[a" + n + "]";
    }
    filter += concat + "concat=n=" + std::to_string(p.items.size()) + ":v=1:a=1[v][a]";
    return "ffmpeg -v error -y" + inputs + " -filter_complex " + shellQuoted(filter) + " -map '[v]' -map '[a]' -r 30"
           + qualityArguments(true) + " " + shellQuoted(output.string());
}

// Encoding alone: as many generated 1280 x 720 frames at our settings.
std::string encodeFloor(int frames, const fs::path& output)
{
    return "ffmpeg -v error -y -f lavfi -i testsrc2=s=1280x720:r=30 -frames:v " + std::to_string(frames)
           + qualityArguments(false) + " " + shellQuoted(output.string());
}

double timed(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the sides in turn, `rounds` times, and gives each side's median.
std::vector<double> alternate(int rounds, const std::vector<std::function<void()>>& sides)
{
    std::vector<std::vector<double>> times(sides.size());
    for (int r = 0; r < rounds; ++r)
        for (size_t s = 0; s < sides.size(); ++s)
            times[s].push_back(timed(sides[s]));
    std::vector<double> medians;
    for (const auto& t : times)
        medians.push_back(median(t));
    return medians;
}

void exportPlaylist(const Playlist& p, const fs::path& output)
{
    OrganizerExporter exporter;
    exporter.render(p.document, p.items, output, {});
}

void verdict(const char* what, double value, double target, const char* unit = "x")
{
    std::printf("%-58s %8.2f %-3s (target <= %.2f) %s\n", what, value, unit, target,
                value <= target ? "MET" : "NOT MET");
    std::fflush(stdout);
}

std::string loadNote()
{
    double load[3] = {};
    getloadavg(load, 3);
    return "load " + std::to_string(load[0]).substr(0, 5);
}

void speed(int rounds, bool twoCores)
{
    const Playlist p = playlist(10, 6.0, Marks::Plain);
    const std::string floor = encodeFloor(1800, workFolder() / "floor.mp4");
    const std::string whole = commandLine(p, workFolder() / "theirs.mp4");
    const std::vector<double> t = alternate(rounds, {[&] { shell(floor); }, [&] { shell(whole); },
                                                     [&] { exportPlaylist(p, workFolder() / "ours.mp4"); }});
    std::printf("%s: floor %.2f s, command line %.2f s, playlist export %.2f s (%s)\n",
                twoCores ? "two cores" : "all cores", t[0], t[1], t[2], loadNote().c_str());
    if (twoCores) {
        verdict("plain export / encode-only floor, two cores", t[2] / t[0], 1.4);
    } else {
        verdict("plain export / encode-only floor", t[2] / t[0], 1.3);
        verdict("plain export / ffmpeg command line", t[2] / t[1], 0.8);
    }
}

void telestrationSpeed(int rounds)
{
    const Playlist plain = playlist(10, 6.0, Marks::Plain);
    const Playlist marked = playlist(10, 6.0, Marks::Telestration);
    exportPlaylist(marked, workFolder() / "warm.mp4");  // shaders compiled once per process
    const std::vector<double> t = alternate(rounds, {[&] { exportPlaylist(plain, workFolder() / "plain.mp4"); },
                                                     [&] { exportPlaylist(marked, workFolder() / "marked.mp4"); }});
    std::printf("plain export %.2f s, with telestration on three items %.2f s (%s)\n", t[0], t[1],
                loadNote().c_str());
    verdict("telestration export / plain export", t[1] / t[0], 1.25);
}

void xml(int rounds)
{
    const fs::path movie = workFolder() / "match-1080p.mp4";
    if (!fs::exists(movie))
        shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=60 -f lavfi -i sine=d=60 -c:v libx264 "
              "-preset ultrafast -c:a aac -shortest " + shellQuoted(movie.string()));
    OrganizerDocument document;
    document.sources = {OrganizerSource{.id = "S1", .name = "S1", .path = movie.string(), .offset = 0}};
    const std::vector<OrganizerItem> items = bench::inPlaceItems(1000);
    document.rows.front().items = items;
    const std::vector<double> t = alternate(rounds, {[&] {
        OrganizerExporter exporter;
        exporter.exportXML(document, items, "Match", workFolder() / "export.fcpxml", {});
    }});
    std::printf("XML export of 1000 in-place items %.3f s (%s)\n", t[0], loadNote().c_str());
    verdict("XML export of 1000 in-place items", t[0], 0.5, "s");
}

// Runs this program again with `arguments` and gives its peak resident memory in MiB.
double childPeakMiB(const std::vector<std::string>& arguments)
{
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>("/proc/self/exe")};
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the export child failed");
    return double(usage.ru_maxrss) / 1024.0;
}

void memory()
{
    source(0);
    source(1);
    for (const char* count : {"10", "200", "1000"}) {
        const double peak = childPeakMiB({"export-child", count});
        verdict(("peak memory, " + std::string(count) + " items, marks on every third").c_str(), peak, 350, "MiB");
    }
}

fs::path largeSource()
{
    const fs::path path = workFolder() / "square-8000.mp4";
    if (!fs::exists(path))
        shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=8000x8000:r=30:d=2 -c:v libx264 -preset ultrafast "
              "-pix_fmt yuv420p " + shellQuoted(path.string()));
    return path;
}

void large()
{
    largeSource();
    const double peak = childPeakMiB({"large-child"});
    verdict("peak memory, 2 s of an 8000 x 8000 movie", peak * 1.048576, 600, "MB");
}

// The child side of the memory figures: one export and nothing else.
int exportChild(const std::string& what)
{
    Playlist p;
    if (what == "large") {
        p.document.sources = {OrganizerSource{.id = "L", .name = "L", .path = largeSource().string(), .offset = 0}};
        OrganizerItem item;
        item.name = "Large";
        item.sourceID = "L";
        item.sourceIDs = {"L"};
        item.start = 0;
        item.end = 2;
        p.items = {item};
    } else {
        const int count = std::stoi(what);
        // About a minute of output at every size, so the export's own working
        // set, not its length, is what is measured.
        p = playlist(count, count <= 10 ? 6.0 : count <= 200 ? 0.5 : 0.2, Marks::Plain);
    }
    exportPlaylist(p, workFolder() / ("memory-" + what + ".mp4"));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);  // fonts for the text marks
    const std::string what = argc > 1 ? argv[1] : "all";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    try {
        if (what == "export-child")
            return exportChild(argc > 2 ? argv[2] : "10");
        if (what == "large-child")
            return exportChild("large");
        if (what == "two-cores") {
            speed(rounds, true);
            return 0;
        }
        if (what == "speed" || what == "all") {
            speed(rounds, false);
            shell("taskset -c 0,1 " + shellQuoted(fs::read_symlink("/proc/self/exe").string()) + " two-cores "
                  + std::to_string(rounds));
        }
        if (what == "telestration" || what == "all")
            telestrationSpeed(rounds);
        if (what == "xml" || what == "all")
            xml(rounds);
        if (what == "memory" || what == "all")
            memory();
        if (what == "large" || what == "all")
            large();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
