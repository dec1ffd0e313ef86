// The Organizer's timeline operations: selecting, moving and trimming items.
#include "organizer/Organizer.h"

#include "organizer/OrganizerTimelinePane.h"
#include "organizer/model/OrganizerEdits.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "services/ExportFailure.h"

#include <cmath>
#include <filesystem>

namespace zanto {

std::optional<double> Organizer::movieDuration(const std::string& path)
{
    // Only a plain file is probed: a pipe or device would block the window.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    try {
        const double seconds = MediaAsset::load(path).duration.seconds();
        return std::isfinite(seconds) ? std::optional<double>(seconds) : std::nullopt;
    } catch (const MediaError&) {
        return std::nullopt;
    }
}

void Organizer::moveTimelineItem(int row, int item, int to, int at)
{
    if (busy()) return;
    const std::set<int>& selection = table.selectedRowIndexes();
    const std::set<int> moving = row == currentRow() && selection.count(item) ? selection : std::set<int>{item};
    // An index outside the row names no item, and the move is refused.
    const std::set<std::string> ids = idsAt(row, moving);
    if (ids.size() != moving.size()) return;
    const std::optional<OrganizerMove> move = edits::movingItems(playlist(), ids, to, at);
    if (!move) return;
    const int shown = currentRow();
    rowChoice.selectItem(to);
    if (!commit(move->document, move->insertion, {})) {
        rowChoice.selectItem(shown);
        return;
    }
    // The first moved item opens; then all of them are selected.
    selectTimeline(to, move->insertion);
    std::set<int> moved;
    for (int i = 0; i < move->count; ++i) moved.insert(move->insertion + i);
    table.selectRowIndexes(moved, false);
    message("選択クリップを移動しました。Ctrl+Zで戻せます。");
}

void Organizer::trimTimelineItem(int row, int item, double start, double end)
{
    if (busy()) return;
    const std::set<std::string> ids = idsAt(row, {item});
    if (ids.empty()) return;
    std::optional<OrganizerDocument> trimmed;
    try {
        trimmed = edits::trimmingItem(playlist(), *ids.begin(), start, end, movieDuration);
    } catch (const ExportFailure& failure) {
        message(QString::fromStdString(failure.message));
        timelinePane_->timeline().refresh();
        return;
    }
    if (!trimmed) return;
    rowChoice.selectItem(row);
    // The trimmed item opens again, which sets the range bar from its new times.
    if (commit(std::move(*trimmed), item, {})) {
        selectTimeline(row, item);
        message(QString::asprintf("始点 %.2f秒 → 終点 %.2f秒", start, end));
    }
}

} // namespace zanto
