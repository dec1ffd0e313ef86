// The GUI thread's side of the Organizer's commands: a row or item command
// on a 10,000-item playlist (edit, validate, reload, persist), and the
// longest stall of the event loop while an export of 20 items runs on its
// worker (measured as the largest gap between ticks of a 10 ms timer; the
// manual time of each iteration is that gap).
#include "organizer/Organizer.h"
#include "platform/Identifier.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

fs::path benchFolder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("zanto-bench-commands-" + zanto::newIdentifier());
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

// Answers every save panel with `destination`, everything else with cancel.
class SaveTo : public zanto::OrganizerDialogs {
public:
    explicit SaveTo(QString destination) : destination_(std::move(destination)) { }
    std::optional<QString> ask(const QString&, const QString&) override { return std::nullopt; }
    int alert(const QString&, const QString&, const QStringList&) override { return 0; }
    std::optional<std::filesystem::path> choosePackage(const QString&) override { return std::nullopt; }
    QStringList openFiles(const QString&, const QStringList&, bool) override { return {}; }
    std::optional<zanto::OrganizerSaveAnswer> save(const QString&, const QStringList&, const QString&,
                                                   const QString&) override
    {
        return zanto::OrganizerSaveAnswer{destination_, false};
    }
    std::optional<int> menu(const QStringList&) override { return std::nullopt; }
    void reveal(const QString&) override { }

private:
    QString destination_;
};

zanto::OrganizerDocument clips(const fs::path& movie, int rows, int itemsPerRow, double length)
{
    zanto::OrganizerDocument document;
    document.sources.push_back(
        zanto::OrganizerSource{.id = "CAM", .name = "カメラ", .path = movie.string(), .offset = 0});
    document.rows.clear();
    for (int r = 0; r < rows; ++r) {
        zanto::OrganizerRow row;
        row.name = "行 " + std::to_string(r + 1);
        for (int i = 0; i < itemsPerRow; ++i) {
            zanto::OrganizerItem item;
            item.name = "クリップ " + std::to_string(i + 1);
            item.start = (i % 4) * length;
            item.end = item.start + length;
            item.sourceIDs = {"CAM"};
            item.sourceID = "CAM";
            row.items.push_back(std::move(item));
        }
        document.rows.push_back(std::move(row));
    }
    return document;
}

// Each iteration runs one command; the pairs undo each other so that the
// playlist stays at 10,000 items.
void commandOnTenThousandItems(benchmark::State& state, zanto::OrganizerCommand first, zanto::OrganizerCommand second)
{
    zanto::Organizer organizer(benchFolder() / "recovery", std::make_unique<SaveTo>(QString()));
    organizer.openDocument(clips("/videos/match.mp4", 10, 1000, 3));
    organizer.rowChoice.selectItem(4);
    organizer.rowChanged();
    bool odd = false;
    for (auto _ : state) {
        if (first == zanto::OrganizerCommand::duplicate) {
            // Duplicate the first item, then remove its copy at the end.
            organizer.table.selectRowIndexes({odd ? organizer.numberOfRows() - 1 : 0}, false);
        }
        organizer.perform(odd ? second : first);
        odd = !odd;
    }
}
BENCHMARK_CAPTURE(commandOnTenThousandItems, rowDownUp, zanto::OrganizerCommand::rowDown,
                  zanto::OrganizerCommand::rowUp)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(commandOnTenThousandItems, duplicateRemove, zanto::OrganizerCommand::duplicate,
                  zanto::OrganizerCommand::removeItems)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

void guiGapDuringTwentyItemExport(benchmark::State& state)
{
    const fs::path movie = benchFolder() / "match.mp4";
    if (!fs::exists(movie)) {
        const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=s=1280x720:r=30:d=4 -f lavfi -i "
                                    "sine=d=4 -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest '"
                                    + movie.string() + "'";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg could not make the source movie");
            return;
        }
    }
    const fs::path destination = benchFolder() / "out.mp4";
    zanto::Organizer organizer(benchFolder() / "recovery",
                               std::make_unique<SaveTo>(QString::fromStdString(destination.string())));
    organizer.openDocument(clips(movie, 1, 20, 0.5));
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        qint64 longestEnd = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            if (now - last > longest) {
                longest = now - last;
                longestEnd = now;
            }
            last = now;
        });
        // The event loop sleeps between events, as the application's does.
        QEventLoop loop;
        QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
            if (!organizer.busy()) loop.quit();
        });
        clock.start();
        ticker.start(10);
        organizer.perform(zanto::OrganizerCommand::exportAll);
        loop.exec();
        longest = std::max(longest, clock.elapsed() - last);
        state.SetIterationTime(static_cast<double>(longest) / 1000.0);
        state.counters["export_s"] = static_cast<double>(clock.elapsed()) / 1000.0;
        state.counters["longest_gap_end_s"] = static_cast<double>(longestEnd) / 1000.0;
    }
}
BENCHMARK(guiGapDuringTwentyItemExport)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(benchFolder(), ignored);
    return 0;
}
