// The Organizer's timeline operations: selecting, moving and trimming items.
#include "organizer/Organizer.h"

#include "organizer/OrganizerTimelinePane.h"
#include "organizer/model/OrganizerEdits.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "platform/media/Player.h"
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

std::optional<double> Organizer::sourceDuration(const std::string& path) const
{
    if (const PlayerItemRef open = player()->currentItem(); open && open->path == path) return open->durationSeconds();
    return movieDuration(path);
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
    // All the moved items are selected; the first of them opens.
    const std::vector<OrganizerItem>& items = move->document.rows[static_cast<size_t>(to)].items;
    std::vector<std::string> moved;
    for (int i = 0; i < move->count; ++i) moved.push_back(items[static_cast<size_t>(move->insertion + i)].id);
    if (commit(move->document, {.select = moved, .open = true}, {})) {
        message("選択クリップを移動しました。Ctrl+Zで戻せます。");
    }
}

void Organizer::trimTimelineItem(int row, int item, double start, double end)
{
    if (busy()) return;
    const std::set<std::string> ids = idsAt(row, {item});
    if (!ids.empty()) trimItem(*ids.begin(), start, end);
}

void Organizer::trimItem(const std::string& id, double start, double end)
{
    std::optional<OrganizerDocument> trimmed;
    try {
        trimmed = edits::trimmingItem(playlist(), id, start, end,
                                      [this](const std::string& path) { return sourceDuration(path); });
    } catch (const ExportFailure& failure) {
        message(QString::fromStdString(failure.message));
        timelinePane_->timeline().refresh();
        return;
    }
    if (!trimmed) return;
    // The trimmed item opens again, which sets the range bar from its new times.
    if (commit(std::move(*trimmed), {.select = std::vector{id}, .open = true}, {})) {
        message(QString::asprintf("始点 %.2f秒 → 終点 %.2f秒", start, end));
    }
}

} // namespace zanto
