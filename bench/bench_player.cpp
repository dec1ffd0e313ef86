// The preview player on generated H.264 movies with sound: exact seeks to
// random times until the frame is drawn, opening an item to its first frame,
// ten seconds of 1080p at rate 1 in the real view (late frames, paint time),
// and reverse play at -1 (frames a second, memory). Targets for this 8-core
// machine: seek 720p30 1-s GOP median <= 60 ms; seek 1080p30 2-s GOP median
// <= 150 ms, p95 <= 300 ms; open to first frame (720p) <= 150 ms; rate 1:
// <= 1 late frame of 300 and paint <= 4 ms a frame; reverse: >= 28 frames a
// second with <= 300 MB extra memory; the Organizer's showing of a 720p item
// to its first frame <= 150 ms; J after 3 s of play on a 1080p30 movie with
// a 250-frame key-frame interval: first backward frame median <= 300 ms, then
// >= 28 frames a second, K shows the frame at the position reached, <= 150 MiB
// extra memory; a change of item during play on 1080p30 movies with that
// interval keeps the GUI thread from its event loop <= 33 ms (a frame), the
// longest of 100. Run with QT_QPA_PLATFORM=offscreen.
#include "organizer/Organizer.h"
#include "organizer/OrganizerVideoView.h"
#include "platform/Identifier.h"
#include "platform/media/FrameReader.h"
#include "platform/media/Player.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace zanto;

// A movie of testsrc2 with sound; `gopFrames` 0 leaves x264's own key-frame
// interval (250 frames). Variants are other files of the same pictures, each
// with a tone of its own.
std::filesystem::path movie(int width, int height, int gopFrames, int variant = 0)
{
    const auto folder = std::filesystem::temp_directory_path() / "zanto-bench-player";
    std::filesystem::create_directories(folder);
    const std::string suffix = variant > 0 ? "-v" + std::to_string(variant) : "";
    const auto path =
        folder / ("movie-" + std::to_string(height) + "p-g" + std::to_string(gopFrames) + suffix + ".mp4");
    if (!std::filesystem::exists(path)) {
        const std::string gop = gopFrames > 0 ? " -g " + std::to_string(gopFrames) : "";
        const std::string tone = std::to_string(440 + 110 * variant);
        const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=s=" + std::to_string(width) + "x"
                                    + std::to_string(height) + ":r=30:d=14 -f lavfi -i sine=frequency=" + tone
                                    + ":d=14 -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p" + gop
                                    + " -c:a aac -ac 2 '" + path.string() + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
    }
    return path;
}

template <typename Predicate>
bool waitFor(Predicate done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

PlayerOptions benchOptions()
{
    return {.audioOutput = "null"};
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

// Milliseconds from the call to the completion of an exact seek plus the
// drawing of the frame it shows.
double timedSeek(Player& player, double seconds)
{
    const uint64_t drawn = player.framesDrawn();
    bool finished = false;
    QElapsedTimer clock;
    clock.start();
    player.seek(MediaTime::fromSeconds(seconds, 60000), [&](bool ok) { finished = ok; });
    if (!waitFor([&] { return finished && player.framesDrawn() > drawn; }))
        throw std::runtime_error("a seek did not finish");
    return double(clock.nsecsElapsed()) / 1e6;
}

void reportSpread(benchmark::State& state, const std::vector<double>& ms)
{
    state.counters["median_ms"] = percentile(ms, 0.5);
    state.counters["p95_ms"] = percentile(ms, 0.95);
    state.counters["max_ms"] = percentile(ms, 1.0);
}

void seekBench(benchmark::State& state, int width, int height, int gop)
{
    Player player(benchOptions());
    player.setOutputSize(QSize(960, 540));
    player.replaceCurrentItem(Player::open(movie(width, height, gop)));
    timedSeek(player, 0.0);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> when(0.0, 13.5);
    std::vector<double> ms;
    for (auto _ : state) {
        const double took = timedSeek(player, when(random));
        ms.push_back(took);
        state.SetIterationTime(took / 1000);
    }
    reportSpread(state, ms);
}

void BM_Seek720p30Gop1s(benchmark::State& state)
{
    seekBench(state, 1280, 720, 30);
}
void BM_Seek1080p30Gop2s(benchmark::State& state)
{
    seekBench(state, 1920, 1080, 60);
}

// What the Organizer does to show a video item: open (probe), set the end
// times, make it current, seek to the in point, play; until the first frame.
void BM_OpenToFirstFrame720p(benchmark::State& state)
{
    const auto path = movie(1280, 720, 30);
    Player player(benchOptions());
    player.setOutputSize(QSize(960, 540));
    std::vector<double> ms;
    for (auto _ : state) {
        player.replaceCurrentItem(nullptr);
        const uint64_t drawn = player.framesDrawn();
        QElapsedTimer clock;
        clock.start();
        PlayerItemRef item = Player::open(path);
        player.setEndTimes(MediaTime::fromSeconds(2.0, 60000), MediaTime::fromSeconds(8.0, 60000));
        player.replaceCurrentItem(item);
        bool shown = false;
        player.seek(MediaTime::fromSeconds(2.0, 60000), [&](bool finished) {
            shown = finished;
            if (finished) player.play();
        });
        if (!waitFor([&] { return shown && player.framesDrawn() > drawn; })) throw std::runtime_error("no first frame");
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        state.SetIterationTime(ms.back() / 1000);
    }
    reportSpread(state, ms);
}

// Ten seconds at rate 1 in the real view: a frame counts as late for each
// frame slot (1/30 s) it arrives after the one it was due in, and each
// arrival is painted at once to time the paint.
void BM_Play1080p30TenSeconds(benchmark::State& state)
{
    auto player = std::make_shared<Player>(benchOptions());
    OrganizerVideoView view(player);
    view.resize(980, 600);
    view.show();
    player->replaceCurrentItem(Player::open(movie(1920, 1080, 60)));
    timedSeek(*player, 1.0);
    for (auto _ : state) {
        std::vector<double> arrivals, paints;
        QElapsedTimer clock;
        player->setFrameHandler([&] {
            arrivals.push_back(double(clock.nsecsElapsed()) / 1e6);
            QElapsedTimer paint;
            paint.start();
            view.surface()->repaint();
            paints.push_back(double(paint.nsecsElapsed()) / 1e6);
        });
        clock.start();
        player->play();
        waitFor([&] { return player->currentTime() >= 11.0; }, 12000);
        player->pause();
        player->setFrameHandler({});
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        double late = 0;
        for (size_t i = 1; i < arrivals.size(); ++i)
            late += std::max(0.0, std::round((arrivals[i] - arrivals[i - 1]) / (1000.0 / 30)) - 1);
        state.counters["frames"] = double(arrivals.size());
        state.counters["late_frames"] = late;
        state.counters["paint_median_ms"] = percentile(paints, 0.5);
        state.counters["paint_p95_ms"] = percentile(paints, 0.95);
    }
}

double residentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    return 0;
}

void BM_Reverse1080p30Gop2s(benchmark::State& state)
{
    Player player(benchOptions());
    player.setOutputSize(QSize(960, 540));
    player.replaceCurrentItem(Player::open(movie(1920, 1080, 60)));
    timedSeek(player, 12.0);
    for (auto _ : state) {
        const double before = residentMegabytes();
        double peak = before;
        player.setRate(-1);
        waitFor([&] { return player.currentTime() <= 11.0 || player.rate() == 0; }); // past the first GOP's decode
        const uint64_t drawn = player.framesDrawn();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 && player.rate() != 0) {
            waitFor([] { return false; }, 100);
            peak = std::max(peak, residentMegabytes());
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        player.pause();
        state.SetIterationTime(seconds);
        state.counters["frames_per_second"] = double(player.framesDrawn() - drawn) / seconds;
        state.counters["extra_memory_MB"] = peak - before;
    }
}

// Mean difference of grey levels between two pictures, the second scaled to the first.
double pictureDifference(const QImage& shown, const QImage& expected)
{
    const QImage scaled = expected.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    int count = 0;
    for (int y = 0; y < shown.height(); y += 3) {
        for (int x = 0; x < shown.width(); x += 3, ++count)
            sum += std::abs(qGray(shown.pixel(x, y)) - qGray(scaled.pixel(x, y)));
    }
    return count ? sum / count : 0;
}

// Whether a picture shown at `position` is the movie's frame there rather
// than one of its neighbours.
bool isFrameAt(const QImage& shown, double position, FrameReader& reader)
{
    const double frame = 1.0 / 30;
    const double here = pictureDifference(shown, reader.frameAt(MediaTime::fromSeconds(position, 60000)).image);
    const double before =
        pictureDifference(shown, reader.frameAt(MediaTime::fromSeconds(position - frame, 60000)).image);
    const double after =
        pictureDifference(shown, reader.frameAt(MediaTime::fromSeconds(position + frame, 60000)).image);
    return here < before && here < after;
}

std::string loadAverage()
{
    std::ifstream load("/proc/loadavg");
    std::string text;
    std::getline(load, text);
    return text;
}

void printAgainst(const char* what, double value, const char* unit, const char* bound, bool met)
{
    std::printf("  %-34s %8.1f %-4s (bound %s): %s\n", what, value, unit, bound, met ? "met" : "NOT MET");
}

// What an analyst does on a match file with x264's key-frame interval: play
// 3 s, K, J, watch it run backwards, K. Starts alternate between late in the
// first key-frame interval and early in the second, so that backward play
// crosses a key frame.
void BM_ShuttleBack1080p30Gop250(benchmark::State& state)
{
    const auto path = movie(1920, 1080, 0);
    const std::string loadBefore = loadAverage();
    Player player(benchOptions());
    player.setOutputSize(QSize(960, 540));
    player.replaceCurrentItem(Player::open(path));
    timedSeek(player, 0.0);
    const double before = residentMegabytes();
    double peak = before;
    auto sample = [&] { peak = std::max(peak, residentMegabytes()); };
    std::vector<double> firstMs, framesPerSecond;
    std::vector<std::pair<double, QImage>> stops; // after K: the position and the picture
    const double starts[] = {4.2, 9.0, 4.7, 9.5, 5.2, 9.2};
    size_t round = 0;
    for (auto _ : state) {
        const double start = starts[round++ % std::size(starts)];
        timedSeek(player, start);
        player.play();
        waitFor([&] { return sample(), player.currentTime() >= start + 3.0; });
        player.pause(); // K
        waitFor([] { return false; }, 30);
        const double reached = player.currentTime();
        const uint64_t drawn = player.framesDrawn();
        QElapsedTimer clock;
        clock.start();
        player.setRate(-1); // J
        if (!waitFor([&] { return player.framesDrawn() > drawn && player.currentTime() < reached - 1.0 / 60; }))
            throw std::runtime_error("no backward frame");
        firstMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        const uint64_t first = player.framesDrawn();
        clock.restart();
        waitFor([&] { return sample(), clock.elapsed() >= 3500 || player.rate() == 0; }, 4000);
        framesPerSecond.push_back(double(player.framesDrawn() - first) / (double(clock.nsecsElapsed()) / 1e9));
        player.pause(); // K
        waitFor([&] { return sample(), false; }, 400);
        stops.emplace_back(player.currentTime(), player.latestFrame());
        state.SetIterationTime(firstMs.back() / 1000);
    }
    // Checked afterwards, so that the decoding for it stays out of the memory measured.
    FrameReader reader(path);
    int rightPictures = 0;
    for (const auto& [position, shown] : stops) rightPictures += isFrameAt(shown, position, reader) ? 1 : 0;
    const double first = percentile(firstMs, 0.5), slowest = percentile(framesPerSecond, 0.0);
    state.counters["first_backward_median_ms"] = first;
    state.counters["backward_fps_lowest"] = slowest;
    state.counters["k_shows_position"] = double(rightPictures) / double(round);
    state.counters["extra_memory_MiB"] = peak - before;
    std::printf("J after 3 s of 1080p30 play, key frames every 250 frames (%zu rounds, load before: %s):\n", round,
                loadBefore.c_str());
    printAgainst("first backward frame, median", first, "ms", "<= 300", first <= 300);
    printAgainst("backward play, slowest round", slowest, "fps", ">= 28", slowest >= 28);
    printAgainst("K shows the frame at the position", double(rightPictures), "rnds",
                 ("all " + std::to_string(round)).c_str(), rightPictures == int(round));
    std::printf("  load average after: %s\n", loadAverage().c_str());
    printAgainst("extra memory, peak", peak - before, "MiB", "<= 150", peak - before <= 150);
}

double threadCount()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stod(line.substr(8));
    return 0;
}

// Where the backward worker is when the item changes.
enum class Moment { Following, BackwardStretch, Opening };

// Plays the current item (paused at its start) up to `moment`: 0.4 s of
// forward play, which the worker follows decoding each frame; 0.3 s from 5 s
// then J, 60 ms into the decode of the stretch before the frames kept, from
// the key frame at 0 (150 frames); or the first frame of play, when the
// worker has just been made and opens its file.
void playUpTo(Player& player, Moment moment)
{
    switch (moment) {
    case Moment::Following:
        timedSeek(player, 1.0);
        player.play();
        waitFor([&] { return player.currentTime() >= 1.4; });
        break;
    case Moment::BackwardStretch:
        timedSeek(player, 5.0);
        player.play();
        waitFor([&] { return player.currentTime() >= 5.3; });
        player.setRate(-1);
        waitFor([] { return false; }, 60);
        break;
    case Moment::Opening: {
        timedSeek(player, 1.0);
        const uint64_t drawn = player.framesDrawn();
        player.play();
        waitFor([&] { return player.framesDrawn() > drawn; });
        break;
    }
    }
}

// A change of item during play on three 1080p30 movies with x264's 250-frame
// key-frame interval, 100 times, the moments above in turn: how long the
// GUI thread is kept from its event loop, timed around the call and as the
// largest gap of a 1 ms timer from the call until 50 ms after it (the new
// item loading). Target: no more than a frame's time (33 ms at 30 fps),
// whatever the backward worker holds.
void BM_ItemChangeStall1080p30Gop250(benchmark::State& state)
{
    std::vector<PlayerItemRef> items;
    for (int variant = 0; variant < 3; ++variant) items.push_back(Player::open(movie(1920, 1080, 0, variant)));
    Player player(benchOptions());
    player.setOutputSize(QSize(960, 540));
    QElapsedTimer sinceTick;
    double longestGap = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    ticks.start(1);
    const char* names[] = {"following", "backward stretch", "opening"};
    std::vector<double> callMs, gapMs, longestAt(3, 0.0);
    const double memoryBefore = residentMegabytes();
    double memoryPeak = memoryBefore, threadsPeak = threadCount();
    int changes = 0;
    player.replaceCurrentItem(items[0]);
    for (auto _ : state) {
        for (int round = 0; round < 100; ++round, ++changes) {
            const auto moment = Moment(changes % 3);
            playUpTo(player, moment);
            QElapsedTimer clock;
            clock.start();
            sinceTick.restart();
            longestGap = 0;
            player.replaceCurrentItem(items[size_t(changes + 1) % items.size()]);
            callMs.push_back(double(clock.nsecsElapsed()) / 1e6);
            waitFor([] { return false; }, 50);
            gapMs.push_back(std::max(longestGap, callMs.back()));
            longestAt[size_t(moment)] = std::max(longestAt[size_t(moment)], gapMs.back());
            memoryPeak = std::max(memoryPeak, residentMegabytes());
            threadsPeak = std::max(threadsPeak, threadCount());
        }
        state.SetIterationTime(percentile(gapMs, 1.0) / 1000);
    }
    state.counters["change_call_median_ms"] = percentile(callMs, 0.5);
    state.counters["change_call_max_ms"] = percentile(callMs, 1.0);
    state.counters["loop_gap_median_ms"] = percentile(gapMs, 0.5);
    state.counters["loop_gap_max_ms"] = percentile(gapMs, 1.0);
    state.counters["extra_memory_peak_MiB"] = memoryPeak - memoryBefore;
    state.counters["threads_peak"] = threadsPeak;
    std::printf("GUI thread kept from its event loop by a change of item, %d changes during 1080p30 play:\n", changes);
    printAgainst("call, median", percentile(callMs, 0.5), "ms", "<= 33", percentile(callMs, 0.5) <= 1000.0 / 30);
    printAgainst("loop gap, median", percentile(gapMs, 0.5), "ms", "<= 33", percentile(gapMs, 0.5) <= 1000.0 / 30);
    printAgainst("loop gap, longest", percentile(gapMs, 1.0), "ms", "<= 33", percentile(gapMs, 1.0) <= 1000.0 / 30);
    for (size_t moment = 0; moment < longestAt.size(); ++moment)
        std::printf("  longest with the worker %-18s %8.1f ms\n", names[moment], longestAt[moment]);
    std::printf("  frame time at 30 fps: %.1f ms; peak threads %.0f, extra memory %.0f MiB\n", 1000.0 / 30, threadsPeak,
                memoryPeak - memoryBefore);
}

// The Organizer showing a 720p video item with autoplay, from the call until
// the item's first frame is drawn and play has started. Target: <= 150 ms.
// Without a sound device mpv's own output choice adds its failing probe
// (about 70 ms here) to every item; the null output leaves it out.
void BM_ShowCurrentToFirstFrame720p(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / ("zanto-bench-organizer-" + newIdentifier());
    {
        Organizer organizer(folder, nullptr, benchOptions());
        OrganizerDocument document;
        document.sources = {OrganizerSource{.id = "S", .name = "cam", .path = movie(1280, 720, 30).string()}};
        const OrganizerItem item{.name = "clip", .start = 4.3, .end = 7, .sourceIDs = {"S"}, .sourceID = "S"};
        document.rows = {OrganizerRow{.name = "row", .items = {item}}};
        organizer.openDocument(document);
        const Player& player = *organizer.player();
        for (auto _ : state) {
            const uint64_t drawn = player.framesDrawn();
            QElapsedTimer clock;
            clock.start();
            organizer.begin({item});
            if (!waitFor([&] { return player.rate() > 0 && player.framesDrawn() > drawn; }))
                throw std::runtime_error("the item did not start");
            state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
            organizer.stop();
        }
    }
    std::filesystem::remove_all(folder);
}

// A 1080p match-like movie: 10 s of red, then 30 s of blue, both grainy,
// key frames 250 frames apart.
std::filesystem::path redThenBlue()
{
    const auto path = std::filesystem::temp_directory_path() / "zanto-bench-player" / "red-then-blue-1080p.mp4";
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(path.parent_path());
        const std::string command =
            "ffmpeg -v error -y -f lavfi -i color=red:s=1920x1080:r=30:d=10 -f lavfi -i "
            "color=blue:s=1920x1080:r=30:d=30 -filter_complex '[0][1]concat=n=2:v=1,noise=alls=30:allf=t' "
            "-c:v libx264 -preset veryfast -crf 20 -g 250 -pix_fmt yuv420p '"
            + path.string() + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
    }
    return path;
}

// A press on an item 20-38 s of that movie, opened paused and playing in
// turn, the GUI thread then busy for the argument's milliseconds (as the
// real window paints): milliseconds until the item's first picture is handed
// to the view, and how many pictures from outside it (red) were handed
// before. Target: none.
void BM_PressToFirstPicture1080pGop250(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / ("zanto-bench-organizer-" + newIdentifier());
    {
        Organizer organizer(folder, nullptr, benchOptions());
        OrganizerDocument document;
        document.sources = {OrganizerSource{.id = "S", .name = "match", .path = redThenBlue().string()}};
        const OrganizerItem item{.name = "clip", .start = 20, .end = 38, .sourceIDs = {"S"}, .sourceID = "S"};
        document.rows = {OrganizerRow{.name = "row", .items = {item}}};
        organizer.openDocument(document);
        Player& player = *organizer.player();
        int outside = 0;
        bool inside = false;
        player.setFrameHandler([&] {
            const QImage frame = player.latestFrame();
            if (frame.isNull()) return;
            const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
            if (centre.red() > centre.blue())
                ++outside;
            else
                inside = true;
        });
        std::vector<double> ms;
        int press = 0;
        for (auto _ : state) {
            organizer.stop();
            waitFor([] { return false; }, 200);
            inside = false;
            QElapsedTimer clock;
            clock.start();
            if (press++ % 2)
                organizer.playRow();
            else
                organizer.selectTimeline(0, 0);
            // The real window paints after a press (llvmpipe takes its time).
            std::this_thread::sleep_for(std::chrono::milliseconds(state.range(0)));
            if (!waitFor([&] { return inside; })) throw std::runtime_error("the item's picture did not come");
            ms.push_back(double(clock.nsecsElapsed()) / 1e6);
            state.SetIterationTime(ms.back() / 1000);
        }
        reportSpread(state, ms);
        state.counters["outside_pictures"] = outside;
        std::printf("press to first picture, GUI busy %d ms: median %.0f ms, %d pictures from outside the item\n",
                    int(state.range(0)), percentile(ms, 0.5), outside);
    }
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_Seek720p30Gop1s)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(60);
BENCHMARK(BM_Seek1080p30Gop2s)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(60);
BENCHMARK(BM_OpenToFirstFrame720p)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(15);
BENCHMARK(BM_ShowCurrentToFirstFrame720p)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(15);
BENCHMARK(BM_PressToFirstPicture1080pGop250)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20)
    ->Arg(0)
    ->Arg(100);
BENCHMARK(BM_Play1080p30TenSeconds)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_Reverse1080p30Gop2s)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_ShuttleBack1080p30Gop250)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_ItemChangeStall1080p30Gop250)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::ifstream load("/proc/loadavg");
    std::string loadText;
    std::getline(load, loadText);
    benchmark::AddCustomContext("load_average", loadText);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
