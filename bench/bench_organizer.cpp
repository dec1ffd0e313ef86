// Costs of the Organizer's edit cycle on large playlists: one persist of a
// 10,000-item document (encode, compare with the last state, atomic write of
// the recovery file), one whole commit (validation, reload, persist) and one
// reload of a 1,000-item row.
#include "organizer/Organizer.h"
#include "organizer/model/OrganizerEdits.h"
#include "platform/Identifier.h"

#include <QApplication>
#include <QWidget>

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
    zanto::OrganizerRecoveryFile file(benchFolder());
    zanto::OrganizerHistory history;
    history.open(largeDocument(10, 1000));
    int edit = 0;
    for (auto _ : state) {
        history.playlist.title = "edit " + std::to_string(++edit);
        file.write(history.playlist, history.persist());
    }
    state.SetLabel(std::to_string(std::filesystem::file_size(file.path())) + " bytes");
}
BENCHMARK(persistTenThousandItems)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void commitTenThousandItems(benchmark::State& state)
{
    zanto::Organizer organizer(benchFolder());
    organizer.openDocument(largeDocument(10, 1000));
    int edit = 0;
    for (auto _ : state) {
        organizer.commit(zanto::edits::retitled(organizer.playlist(), "edit " + std::to_string(++edit)),
                         std::nullopt, {});
    }
}
BENCHMARK(commitTenThousandItems)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void reloadThousandItemRow(benchmark::State& state)
{
    zanto::Organizer organizer(benchFolder());
    organizer.openDocument(largeDocument(1, 1000));
    organizer.reload(0);
    for (auto _ : state) organizer.reload(0);
}
BENCHMARK(reloadThousandItemRow)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The same with the timeline's repaint of what its scroll area shows.
void reloadAndPaintThousandItemRow(benchmark::State& state)
{
    zanto::Organizer organizer(benchFolder());
    organizer.openDocument(largeDocument(1, 1000));
    organizer.reload(0);
    QCoreApplication::processEvents();
    QWidget* timeline = organizer.window()->findChild<QWidget*>("timeline");
    for (auto _ : state) {
        organizer.reload(0);
        timeline->repaint();
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
