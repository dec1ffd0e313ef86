// The playlist export's speed and memory targets, each printed with its
// ratio or figure and whether it is met. Both sides of every comparison run
// alternately in the same process, and the median of the rounds counts, so a
// change in the machine's load touches both alike.
//
//   bench_export_targets [speed|two-cores|items|stills|xml|memory|large|all] [rounds]
//
// `all 3` runs everything in about ten minutes on a quiet 8-core machine.
// Sources and outputs go to $ZANTO_BENCH_FOLDER (a temporary folder otherwise).
// Two playlists are measured:
//   even:     10 items of 6 s from two 1080p sources, plain marks on every
//             third; its telestration variant adds a telestration mark to
//             those three items;
//   analyst:  a title card, 20 video items of 2-4 s from three 1080p sources
//             with sound, an image slide and a freeze slide (69 s), plain
//             marks on every third item; its telestration variant has three
//             telestration marks on every item.
// speed:     per playlist, the plain export against the encode-only floor (our
//            own output decoded and piped raw into ffmpeg at our settings),
//            against the ffmpeg command line doing the same cuts, and the
//            telestration variant against the plain export.
// two-cores: the plain export against the floor on cores 0 and 1.
// items:     the cost of an item: 30 moments of 2 s from three matches against
//            3 items of 20 s from the same matches, and the same 60 s of
//            pictures in 30 items against 3.
// stills:    telestration on freeze stills: the analyst playlist with five
//            5 s stills cut from its matches, Player Ring, Passing Lane and
//            Spotlight on every still, against the same stills unmarked;
//            each of the fifteen tools alone on every still, against the
//            unmarked exports on either side of it (the slowest tool
//            counts); and Player Ring,
//            Passing Lane and Spotlight on every video item of the analyst
//            playlist against its plain export.
// xml:       the merged XML export of 1,000 in-place items of one movie.
// memory:    peak resident memory of exports of every playlist shape, each in
//            a child process; those with telestration marks may also hold
//            the software renderer's library pages.
// large:     peak resident memory of exporting 2 s of an 8000 x 8000 movie.
#include "marks/GXLSettings.h"
#include "marks/OrganizerMarkDrawing.h"
#include "platform/media/ExportQuality.h"
#include "playlist/OrganizerExporter.h"
#include "playlist/OrganizerExporterPicture.h"
#include "BenchShell.h"
#include "app/ProcessMemory.h"
#include "app/RendererThreads.h"
#include "organizer/model/OrganizerEdits.h"

#include <QGuiApplication>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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

using bench::shell;
using bench::shellQuoted;

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

std::string uptime()
{
    std::string text;
    if (FILE* pipe = popen("uptime", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe)) text += line;
        pclose(pipe);
    }
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// A 1080p30 H.264 movie with stereo sound, made once per run folder.
fs::path movie(const std::string& name, const std::string& picture, int seconds, int tone)
{
    const fs::path path = workFolder() / (name + "-1080p.mp4");
    if (!fs::exists(path))
        shell("ffmpeg -v error -y -f lavfi -i " + shellQuoted(picture)
              + " -f lavfi -i sine=frequency=" + std::to_string(tone) + " -t " + std::to_string(seconds)
              + " -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -ac 2 " + shellQuoted(path.string()));
    return path;
}

// The even playlist's two sources.
fs::path source(int index)
{
    return movie("source" + std::to_string(index),
                 (index == 0 ? "testsrc2" : "smptehdbars") + std::string("=s=1920x1080:r=30"), 32, 330 + 110 * index);
}

// The analyst's three matches, 75 s each, with moving pictures.
fs::path match(int index)
{
    static const std::array<std::string, 3> pictures{
        "testsrc2=s=1920x1080:r=30",
        "life=s=480x270:r=30:mold=10:ratio=0.2:life_color=#30c030:death_color=#204020,scale=1920:1080:flags=neighbor",
        "cellauto=s=640x360:r=30:rule=110:random_fill_ratio=0.5,format=yuv420p,hue=h=120,scale=1920:1080"};
    return movie("match" + std::to_string(index), pictures[size_t(index)], 75, 220 + 150 * index);
}

fs::path slideImage()
{
    const fs::path path = workFolder() / "slide-image.png";
    if (!fs::exists(path))
        shell("ffmpeg -v error -y -f lavfi -i rgbtestsrc=s=1920x1080 -frames:v 1 " + shellQuoted(path.string()));
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

std::vector<OrganizerMark> plainMarks()
{
    return {plainMark("arrow", 0.2, 0.2, 0.6, 0.5), plainMark("circle", 0.55, 0.4, 0.75, 0.7),
            plainMark("text", 0.1, 0.85, 0, 0)};
}

// A newly added drawing material, as the Organizer makes one.
OrganizerMark telestration(const std::string& tool)
{
    return edits::materialMark(tool);
}

void addMarks(OrganizerItem& item, const std::vector<OrganizerMark>& marks)
{
    std::vector<OrganizerMark> all = item.marks.value_or(std::vector<OrganizerMark>{});
    all.insert(all.end(), marks.begin(), marks.end());
    item.marks = all;
}

struct Playlist {
    std::string name;
    OrganizerDocument document;
    std::vector<OrganizerItem> items;
};

enum class Marks { None, Plain, Telestration };

OrganizerItem videoItem(const std::string& source, double start, double seconds)
{
    OrganizerItem item;
    item.name = "Clip " + source + " " + std::to_string(start);
    item.sourceID = source;
    item.sourceIDs = {source};
    item.start = start;
    item.end = start + seconds;
    return item;
}

// `count` items of `seconds` each, alternating between the two sources, with
// marks on every third item (items 1, 4, 7, ...).
Playlist evenPlaylist(int count, double seconds, Marks marks)
{
    Playlist p{"even", {}, {}};
    p.document.sources = {OrganizerSource{.id = "A", .name = "A", .path = source(0).string(), .offset = 0},
                          OrganizerSource{.id = "B", .name = "B", .path = source(1).string(), .offset = 0}};
    for (int i = 0; i < count; ++i) {
        OrganizerItem item = videoItem(i % 2 == 0 ? "A" : "B", 1.0 + std::fmod(i / 2 * seconds / 2, 24.0), seconds);
        if (i % 3 == 1 && marks != Marks::None) {
            addMarks(item, plainMarks());
            if (marks == Marks::Telestration) addMarks(item, {telestration("Player Ring")});
        }
        p.items.push_back(item);
    }
    return p;
}

OrganizerDocument matchDocument()
{
    OrganizerDocument document;
    for (int i = 0; i < 3; ++i) {
        const std::string id(1, char('A' + i));
        document.sources.push_back(
            OrganizerSource{.id = id, .name = "Match " + id, .path = match(i).string(), .offset = 0});
    }
    return document;
}

// What an analyst puts together after a match: a title card, twenty moments
// of 2-4 s from three recordings, mostly in the order they happened, with a
// replay going back, an image of the line-up and a freeze on one moment.
Playlist analystPlaylist(Marks marks)
{
    Playlist p{"analyst", matchDocument(), {}};
    p.items.push_back(
        OrganizerItem{.kind = "title", .name = "Pressing in the middle third", .note = "Matches 1-3, first half"});
    static const std::array<double, 20> lengths{2.5, 3, 4, 2, 3.5, 3, 2, 4, 3, 2.5, 3, 3.5, 2, 4, 3, 2.5, 3, 4, 2, 3.5};
    static const std::array<double, 5> gaps{5, 1.5, 8, 0.5, 3};
    static const char* order = "AABACBBACCABACBABCAC";
    std::array<double, 3> cursor{2, 4, 3};
    for (size_t i = 0; i < lengths.size(); ++i) {
        const int s = order[i] - 'A';
        double& at = cursor[size_t(s)];
        // The twelfth moment is a replay of one seen before.
        const double start = i == 11 ? at - 14 : at;
        p.items.push_back(videoItem(std::string(1, order[i]), start, lengths[i]));
        at += lengths[i] + gaps[i % gaps.size()];
        if (i == 9)
            p.items.push_back(OrganizerItem{.kind = "image", .name = "Line-up", .imagePath = slideImage().string()});
        if (i == 16)
            p.items.push_back(OrganizerItem{.kind = "freeze",
                                            .freezeTime = 20.4,
                                            .name = "Shape at the turnover",
                                            .sourceIDs = {"B"},
                                            .sourceID = "B"});
    }
    for (size_t i = 0; i < p.items.size(); ++i) {
        if (i % 3 == 1 && marks != Marks::None) addMarks(p.items[i], plainMarks());
        if (marks == Marks::Telestration)
            addMarks(p.items[i],
                     {telestration("Player Ring"), telestration("Passing Lane"), telestration("Space Circle")});
    }
    return p;
}

// The analyst's playlist with five freeze stills of 5 s cut from its three
// matches, spread among its items, each with `stillMarks`.
Playlist stillsPlaylist(const std::vector<OrganizerMark>& stillMarks)
{
    Playlist p = analystPlaylist(Marks::Plain);
    p.name = "stills";
    static const std::array<double, 5> times{12.3, 30.1, 44.7, 58.2, 66.5};
    for (size_t i = 0; i < times.size(); ++i) {
        const std::string source(1, char('A' + i % 3));
        OrganizerItem still{.kind = "freeze", .freezeTime = times[i], .name = "Still " + std::to_string(i)};
        still.sourceIDs = {source};
        still.sourceID = source;
        still.end = 5;
        addMarks(still, stillMarks);
        p.items.insert(p.items.begin() + std::ptrdiff_t(3 + 5 * i), still);
    }
    return p;
}

// The analyst's playlist, plain marks on every third item as before, with
// `marks` on every video item.
Playlist videoMarksPlaylist(const std::vector<OrganizerMark>& marks)
{
    Playlist p = analystPlaylist(Marks::Plain);
    for (OrganizerItem& item : p.items)
        if (item.kind == "video") addMarks(item, marks);
    return p;
}

std::vector<OrganizerMark> threeMarks()
{
    return {telestration("Player Ring"), telestration("Passing Lane"), telestration("Spotlight")};
}

// 30 moments of 2 s, plain, taking turns between the analyst's three matches
// and spread over each, so most start between key frames.
Playlist momentsPlaylist()
{
    Playlist p{"items30", matchDocument(), {}};
    for (int i = 0; i < 30; ++i)
        p.items.push_back(videoItem(std::string(1, char('A' + i % 3)), 2.0 + (i / 3) * 7.5 + (i % 3), 2));
    return p;
}

// The same 60 s of the three matches' pictures as 3 items of 20 s, one from
// each match, or cut into 30 items of 2 s that take turns between the matches
// (A 10-12 s, B 10-12 s, C 10-12 s, A 12-14 s, ...): both show the same source
// frames, so they differ only in their items.
Playlist samePicturesPlaylist(int count)
{
    Playlist p{"same" + std::to_string(count), matchDocument(), {}};
    const double seconds = 60.0 / count;
    for (int i = 0; i < count; ++i)
        p.items.push_back(videoItem(std::string(1, char('A' + i % 3)), 10 + (i / 3) * seconds, seconds));
    return p;
}

const OrganizerSource& sourceOf(const Playlist& p, const std::string& id)
{
    for (const OrganizerSource& source : p.document.sources)
        if (source.id == id) return source;
    throw std::runtime_error("no source " + id);
}

// One item as ffmpeg inputs and a filter making its picture [v<n>] and sound
// [a<n>]: the video cut, or the slide's still picture over silence.
void commandLineItem(const Playlist& p, size_t n, std::string& inputs, std::string& filter, int& input)
{
    const OrganizerItem& item = p.items[n];
    const std::string length = std::to_string(item.end - item.start);
    const std::string i = std::to_string(n);
    const std::string placed = "fps=30,scale=1280:720:force_original_aspect_ratio=decrease,"
                               "pad=1280:720:(ow-iw)/2:(oh-ih)/2,setsar=1,format=yuv420p[v"
                               + i + "];";
    const std::string sound = "aformat=sample_rates=48000:channel_layouts=stereo[a" + i + "];";
    const std::string video = std::to_string(input++);
    if (item.kind == "video") {
        inputs += " -ss " + std::to_string(item.start) + " -t " + length + " -i "
                  + shellQuoted(sourceOf(p, item.sourceID).path);
        filter += "[" + video + ":v]" + placed + "[" + video + ":a]" + sound;
        return;
    }
    if (item.kind == "freeze") {
        inputs +=
            " -ss " + std::to_string(*item.freezeTime) + " -t 0.5 -i " + shellQuoted(sourceOf(p, item.sourceID).path);
        filter += "[" + video + ":v]trim=end_frame=1,setpts=PTS-STARTPTS,tpad=stop_mode=clone:stop_duration=" + length
                  + ",trim=duration=" + length + "," + placed;
    } else {
        fs::path picture = item.imagePath;
        if (item.kind == "title") {
            picture = workFolder() / ("title" + i + ".png");
            QImage canvas = slides::blankCanvas();
            slides::drawTitleCard(canvas, item);
            canvas.save(QString::fromStdString(picture.string()));
        }
        inputs += " -loop 1 -framerate 30 -t " + length + " -i " + shellQuoted(picture.string());
        filter += "[" + video + ":v]" + placed;
    }
    const std::string silence = std::to_string(input++);
    inputs += " -f lavfi -t " + length + " -i anullsrc=r=48000:cl=stereo";
    filter += "[" + silence + ":a]" + sound;
}

// The same playlist as one ffmpeg command line: each item cut from its
// source (or its still shown), scaled and padded into 1280 x 720, its marks
// laid over, all of them concatenated and encoded with the export settings.
std::string commandLine(const Playlist& p, const fs::path& output)
{
    std::string inputs, filter, concat;
    int input = 0;
    for (size_t i = 0; i < p.items.size(); ++i) {
        const OrganizerItem& item = p.items[i];
        const std::string n = std::to_string(i);
        commandLineItem(p, i, inputs, filter, input);
        std::string video = "[v" + n + "]";
        if (item.marks && !item.marks->empty()) {
            const fs::path picture = workFolder() / (p.name + "-marks" + n + ".png");
            organizerMarkImage(*item.marks).save(QString::fromStdString(picture.string()));
            inputs += " -loop 1 -framerate 30 -t " + std::to_string(item.end - item.start) + " -i "
                      + shellQuoted(picture.string());
            filter += video + "[" + std::to_string(input++) + ":v]overlay=shortest=1[o" + n + "];";
            video = "[o" + n + "]";
        }
        concat += video + "[a" + n + "]";
    }
    filter += concat + "concat=n=" + std::to_string(p.items.size()) + ":v=1:a=1[v][a]";
    return "ffmpeg -v error -y" + inputs + " -filter_complex " + shellQuoted(filter) + " -map '[v]' -map '[a]' -r 30"
           + qualityArguments(true) + " " + shellQuoted(output.string());
}

// Encoding alone: our own export's pictures, decoded and piped raw into
// ffmpeg at our settings.
std::string encodeFloor(const fs::path& ours, const fs::path& output)
{
    return "ffmpeg -v error -i " + shellQuoted(ours.string())
           + " -an -f rawvideo -pix_fmt yuv420p - | ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 1280x720 -r 30 "
             "-i -"
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

// The processor time this process has spent, on all its threads.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Each side's median time and median processor time over the rounds. On a
// machine others keep busy the processor time tells the work apart from the
// waiting for a core.
struct Medians {
    std::vector<double> seconds;
    std::vector<double> processor;
};

// Runs the sides in turn, `rounds` times, and gives each side's medians.
Medians alternateMeasured(int rounds, const std::vector<std::function<void()>>& sides)
{
    std::vector<std::vector<double>> times(sides.size()), processor(sides.size());
    for (int r = 0; r < rounds; ++r)
        for (size_t s = 0; s < sides.size(); ++s) {
            const double before = processorSeconds();
            times[s].push_back(timed(sides[s]));
            processor[s].push_back(processorSeconds() - before);
        }
    Medians medians;
    for (size_t s = 0; s < sides.size(); ++s) {
        medians.seconds.push_back(median(times[s]));
        medians.processor.push_back(median(processor[s]));
    }
    return medians;
}

std::vector<double> alternate(int rounds, const std::vector<std::function<void()>>& sides)
{
    return alternateMeasured(rounds, sides).seconds;
}

std::string ratioText(double ratio)
{
    return std::to_string(ratio).substr(0, 4) + "x";
}

void exportPlaylist(const Playlist& p, const fs::path& output)
{
    OrganizerExporter exporter;
    exporter.render(p.document, p.items, output, {});
}

void verdict(const std::string& what, double value, double target, const char* unit = "x")
{
    std::printf("%-62s %8.2f %-3s (target <= %.2f) %s\n", what.c_str(), value, unit, target,
                value <= target ? "MET" : "NOT MET");
    std::fflush(stdout);
}

void note(const std::string& text)
{
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

struct Shape {
    Playlist plain;
    Playlist marked;
    std::string markedText;
};

std::vector<Shape> shapes()
{
    return {Shape{evenPlaylist(10, 6.0, Marks::Plain), evenPlaylist(10, 6.0, Marks::Telestration),
                  "telestration on three items"},
            Shape{analystPlaylist(Marks::Plain), analystPlaylist(Marks::Telestration),
                  "three telestration marks on every item"}};
}

// Our plain export once before the rounds: warms the caches and the shaders
// and gives the floor its pictures.
fs::path warmOutput(const Shape& shape)
{
    const fs::path ours = workFolder() / (shape.plain.name + "-ours.mp4");
    exportPlaylist(shape.plain, ours);
    return ours;
}

void speed(int rounds)
{
    for (const Shape& shape : shapes()) {
        const std::string& name = shape.plain.name;
        const fs::path ours = warmOutput(shape);
        exportPlaylist(shape.marked, workFolder() / (name + "-marked.mp4"));
        const std::string floor = encodeFloor(ours, workFolder() / (name + "-floor.mp4"));
        const std::string whole = commandLine(shape.plain, workFolder() / (name + "-theirs.mp4"));
        const std::vector<double> t =
            alternate(rounds, {[&] { shell(floor); }, [&] { shell(whole); },
                               [&] { exportPlaylist(shape.plain, workFolder() / (name + "-plain.mp4")); },
                               [&] { exportPlaylist(shape.marked, workFolder() / (name + "-marked.mp4")); }});
        note(name + " playlist, all cores: floor " + std::to_string(t[0]).substr(0, 5) + " s, command line "
             + std::to_string(t[1]).substr(0, 5) + " s, plain export " + std::to_string(t[2]).substr(0, 5) + " s, "
             + shape.markedText + " " + std::to_string(t[3]).substr(0, 5) + " s");
        note("  " + uptime());
        verdict(name + ": plain export / encode-only floor", t[2] / t[0], 1.25);
        verdict(name + ": plain export / ffmpeg command line", t[2] / t[1], 0.8);
        verdict(name + ": telestration export / plain export", t[3] / t[2], 1.25);
    }
}

void twoCores(int rounds)
{
    for (const Shape& shape : shapes()) {
        const std::string& name = shape.plain.name;
        const fs::path ours = warmOutput(shape);
        const std::string floor = encodeFloor(ours, workFolder() / (name + "-floor.mp4"));
        const std::vector<double> t =
            alternate(rounds, {[&] { shell(floor); },
                               [&] { exportPlaylist(shape.plain, workFolder() / (name + "-plain.mp4")); }});
        note(name + " playlist, two cores: floor " + std::to_string(t[0]).substr(0, 5) + " s, plain export "
             + std::to_string(t[1]).substr(0, 5) + " s");
        note("  " + uptime());
        verdict(name + ": plain export / encode-only floor, two cores", t[1] / t[0], 1.4);
    }
}

// The cost of an item, twice, at the same output length and from the same
// three matches (their pictures differ in cost to decode and encode, so one
// long item of a single match would charge that difference to the items):
// 30 moments of 2 s against 3 items of 20 s, which includes decoding each
// moment's way from its key frame; and the same pictures as those 3 items cut
// into 30, the export's own cost of an item.
void itemCost(int rounds)
{
    const Playlist moments = momentsPlaylist();
    const Playlist sameThree = samePicturesPlaylist(3);
    const Playlist sameThirty = samePicturesPlaylist(30);
    exportPlaylist(moments, workFolder() / "items-warm.mp4");
    const std::vector<double> t = alternate(rounds, {[&] { exportPlaylist(sameThree, workFolder() / "same3.mp4"); },
                                                     [&] { exportPlaylist(moments, workFolder() / "items30.mp4"); },
                                                     [&] { exportPlaylist(sameThirty, workFolder() / "same30.mp4"); }});
    note("3 items of 20 s " + std::to_string(t[0]).substr(0, 5) + " s, 30 moments of 2 s "
         + std::to_string(t[1]).substr(0, 5) + " s, the pictures of the 3 items in 30 "
         + std::to_string(t[2]).substr(0, 5) + " s");
    note("  " + uptime());
    verdict("cost of an item, 30 moments against 3 items of 20 s", (t[1] - t[0]) / 27 * 1000, 40, "ms");
    verdict("cost of an item, the same pictures in 30 items against 3", (t[2] - t[0]) / 27 * 1000, 40, "ms");
}

void stills(int rounds)
{
    const Playlist unmarked = stillsPlaylist({});
    const Playlist marked = stillsPlaylist(threeMarks());
    const Playlist plain = analystPlaylist(Marks::Plain);
    const Playlist spotlights = videoMarksPlaylist(threeMarks());
    exportPlaylist(marked, workFolder() / "stills-warm.mp4");
    const Medians t =
        alternateMeasured(rounds, {[&] { exportPlaylist(unmarked, workFolder() / "stills-unmarked.mp4"); },
                                   [&] { exportPlaylist(marked, workFolder() / "stills-marked.mp4"); }});
    note("analyst playlist with five stills: unmarked " + std::to_string(t.seconds[0]).substr(0, 5)
         + " s, three marks on every still " + std::to_string(t.seconds[1]).substr(0, 5) + " s; processor time "
         + ratioText(t.processor[1] / t.processor[0]));
    note("  " + uptime());
    verdict("stills: three marks on every still / stills unmarked", t.seconds[1] / t.seconds[0], 1.15);

    // Every tool runs next to an export of the stills unmarked, and is set
    // against the two around it, so a load that changes over the fifteen
    // tools touches both sides of each ratio alike.
    auto unmarkedStills = [&] { exportPlaylist(unmarked, workFolder() / "stills-unmarked.mp4"); };
    const std::vector<std::string>& tools = GXLSettings::tools();
    std::vector<Playlist> oneTool;
    for (const std::string& tool : tools) oneTool.push_back(stillsPlaylist({telestration(tool)}));
    std::vector<std::function<void()>> sides{unmarkedStills};
    for (const Playlist& p : oneTool) {
        sides.push_back([&] { exportPlaylist(p, workFolder() / "stills-tool.mp4"); });
        sides.push_back(unmarkedStills);
    }
    const Medians perTool = alternateMeasured(rounds, sides);
    auto against = [&](const std::vector<double>& m, size_t i) {
        return m[2 * i + 1] / ((m[2 * i] + m[2 * i + 2]) / 2);
    };
    size_t slowest = 0;
    for (size_t i = 0; i < tools.size(); ++i) {
        note("  " + tools[i] + " on every still " + ratioText(against(perTool.seconds, i)) + ", processor time "
             + ratioText(against(perTool.processor, i)));
        if (against(perTool.seconds, i) > against(perTool.seconds, slowest)) slowest = i;
    }
    note("  " + uptime());
    verdict("stills: slowest one tool (" + tools[slowest] + ") on every still / unmarked",
            against(perTool.seconds, slowest), 1.15);

    const Medians v =
        alternateMeasured(rounds, {[&] { exportPlaylist(plain, workFolder() / "analyst-plain.mp4"); },
                                   [&] { exportPlaylist(spotlights, workFolder() / "analyst-spotlights.mp4"); }});
    note("analyst playlist: plain " + std::to_string(v.seconds[0]).substr(0, 5)
         + " s, Player Ring, Passing Lane and Spotlight on every video item "
         + std::to_string(v.seconds[1]).substr(0, 5) + " s; processor time "
         + ratioText(v.processor[1] / v.processor[0]));
    note("  " + uptime());
    verdict("three marks with a Spotlight on every video item / plain", v.seconds[1] / v.seconds[0], 1.35);
}

void xml(int rounds)
{
    const fs::path movie = workFolder() / "match-1080p.mp4";
    if (!fs::exists(movie))
        shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=60 -f lavfi -i sine=d=60 -c:v libx264 "
              "-preset ultrafast -c:a aac -shortest "
              + shellQuoted(movie.string()));
    OrganizerDocument document;
    document.sources = {OrganizerSource{.id = "S1", .name = "S1", .path = movie.string(), .offset = 0}};
    const std::vector<OrganizerItem> items = bench::inPlaceItems(1000);
    document.rows.front().items = items;
    const std::vector<double> t =
        alternate(rounds, {[&] {
                      OrganizerExporter exporter;
                      exporter.exportXML(document, items, "Match", workFolder() / "export.fcpxml", {});
                  }});
    note("XML export of 1000 in-place items " + std::to_string(t[0]).substr(0, 5) + " s (" + uptime() + ")");
    verdict("XML export of 1000 in-place items", t[0], 0.5, "s");
}

// Runs this program again with `arguments` and gives its peak resident memory in MiB.
double childPeakMiB(const std::vector<std::string>& arguments)
{
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>("/proc/self/exe")};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
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

// The playlists the memory figures are taken of, by the name a child is given.
Playlist memoryPlaylist(const std::string& what)
{
    if (what == "even-telestration") return evenPlaylist(10, 6.0, Marks::Telestration);
    if (what == "analyst") return analystPlaylist(Marks::Plain);
    if (what == "analyst-telestration") return analystPlaylist(Marks::Telestration);
    if (what == "items30") return momentsPlaylist();
    if (what == "same3") return samePicturesPlaylist(3);
    if (what == "same30") return samePicturesPlaylist(30);
    if (what == "stills-unmarked") return stillsPlaylist({});
    if (what == "stills-marked") return stillsPlaylist(threeMarks());
    if (what == "spotlight-every-item") return videoMarksPlaylist(threeMarks());
    // "stills-one:<tool>": that tool alone on every still, to look at one tool.
    if (what.starts_with("stills-one:")) return stillsPlaylist({telestration(what.substr(11))});
    const int count = std::stoi(what);
    // About a minute of output at every size, so the export's own working
    // set, not its length, is what is measured.
    return evenPlaylist(count, count <= 10 ? 6.0 : count <= 200 ? 0.5 : 0.2, Marks::Plain);
}

void memory()
{
    shapes(); // every source made before the children start
    momentsPlaylist();
    for (const char* what : {"10", "200", "1000", "analyst", "items30", "stills-unmarked"}) {
        const double peak = childPeakMiB({"export-child", what});
        verdict("peak memory, " + std::string(what), peak, 450, "MiB");
    }
    for (const char* what : {"even-telestration", "analyst-telestration", "stills-marked", "spotlight-every-item"}) {
        const double peak = childPeakMiB({"export-child", what});
        verdict("peak memory, " + std::string(what), peak, 520, "MiB");
    }
}

fs::path largeSource()
{
    const fs::path path = workFolder() / "square-8000.mp4";
    if (!fs::exists(path))
        shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=8000x8000:r=30:d=2 -c:v libx264 -preset ultrafast "
              "-pix_fmt yuv420p "
              + shellQuoted(path.string()));
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
        OrganizerItem item = videoItem("L", 0, 2);
        p.items = {item};
    } else {
        p = memoryPlaylist(what);
    }
    exportPlaylist(p, workFolder() / ("memory-" + what + ".mp4"));
    return 0;
}

void runTwoCoresChild(int rounds)
{
    shell("taskset -c 0,1 " + shellQuoted(fs::read_symlink("/proc/self/exe").string()) + " two-cores-child "
          + std::to_string(rounds));
}

} // namespace

int main(int argc, char** argv)
{
    // The exports measured are the application's: its allocator and renderer
    // settings too.
    tuneProcessMemory();
    limitRendererThreads();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv); // fonts for the text marks
    const std::string what = argc > 1 ? argv[1] : "all";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    try {
        if (what == "export-child") return exportChild(argc > 2 ? argv[2] : "10");
        if (what == "large-child") return exportChild("large");
        if (what == "two-cores-child") {
            twoCores(rounds);
            return 0;
        }
        note("start: " + uptime());
        if (what == "speed" || what == "all") speed(rounds);
        if (what == "two-cores" || what == "all") runTwoCoresChild(rounds);
        if (what == "items" || what == "all") itemCost(rounds);
        if (what == "stills" || what == "all") stills(rounds);
        if (what == "xml" || what == "all") xml(rounds);
        if (what == "memory" || what == "all") memory();
        if (what == "large" || what == "all") large();
        note("end: " + uptime());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
