// Costs of the Organizer's edit cycle on large playlists: one persist() of a
// 10,000-item document (encode, compare with the last state, atomic write of
// the recovery file) and one reload of a 1,000-item row.
#include "organizer/Organizer.h"
#include "organizer/OrganizerTimeline.h"
#include "platform/Identifier.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

namespace {

zanto::OrganizerDocument largeDocument(int rows, int itemsPerRow)
{
    zanto::OrganizerDocument document;
    document.sources.push_back(zanto::OrganizerSource{.id = "CAM", .name = "カメラ", .path = "/videos/match.mp4", .offset = 0});
    document.rows.clear();
    for (int r = 0; r < rows; ++r) {
        zanto::OrganizerRow row;
        row.name = "行 " + std::to_string(r + 1);
        for (int i = 0; i < itemsPerRow; ++i) {
            zanto::OrganizerItem item;
            item.name = "クリップ " + std::to_string(i + 1);
            item.note = "ノート";
            item.start = i * 4.25;
            item.end = i * 4.25 + 3.5;
            item.sourceIDs = {"CAM"};
            item.sourceID = "CAM";
            item.labels = std::vector<std::string>{"攻撃", "前半"};
            row.items.push_back(std::move(item));
        }
        document.rows.push_back(std::move(row));
    }
    return document;
}

std::filesystem::path benchFolder()
{
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zanto-bench-" + zanto::newIdentifier());
    return folder;
}

void persistTenThousandItems(benchmark::State& state)
{
    zanto::Organizer organizer(benchFolder());
    organizer.playlist = largeDocument(10, 1000);
    organizer.reload(std::nullopt);
    organizer.historyState = organizer.playlist;
    int edit = 0;
    for (auto _ : state) {
        organizer.playlist.title = "edit " + std::to_string(++edit);
        organizer.persist();
    }
    state.SetLabel(std::to_string(std::filesystem::file_size(organizer.recovery())) + " bytes");
}
BENCHMARK(persistTenThousandItems)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void reloadThousandItemRow(benchmark::State& state)
{
    zanto::Organizer organizer(benchFolder());
    organizer.playlist = largeDocument(1, 1000);
    organizer.reload(0);
    for (auto _ : state) organizer.reload(0);
}
BENCHMARK(reloadThousandItemRow)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The same with the timeline's repaint of what its scroll area shows.
void reloadAndPaintThousandItemRow(benchmark::State& state)
{
    zanto::Organizer organizer(benchFolder());
    organizer.playlist = largeDocument(1, 1000);
    organizer.reload(0);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        organizer.reload(0);
        organizer.timeline->repaint();
    }
}
BENCHMARK(reloadAndPaintThousandItemRow)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(benchFolder(), ignored);
    return 0;
}
