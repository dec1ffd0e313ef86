// The transport's commands: which items the playback plays, and the steps
// that leave the queue for the neighbouring items of the table.
#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerTimelinePane.h"

#include <algorithm>

namespace zanto {

namespace {

std::vector<OrganizerItem> enabledItems(const std::vector<OrganizerItem>& items)
{
    std::vector<OrganizerItem> result;
    std::copy_if(items.begin(), items.end(), std::back_inserter(result),
                 [](const OrganizerItem& item) { return item.enabled; });
    return result;
}

} // namespace

void Organizer::setUpPlayback(const PlayerOptions& options)
{
    OrganizerPlayback::Hooks hooks;
    hooks.document = [this]() -> const OrganizerDocument& { return playlist(); };
    hooks.loops = [this] { return inspector_->loops(); };
    hooks.message = [this](const QString& text) { message(text); };
    playback_ = std::make_unique<OrganizerPlayback>(options, std::move(hooks));
}

void Organizer::playRow()
{
    const auto& rows = playlist().rows;
    const size_t row = static_cast<size_t>(currentRow());
    begin(row < rows.size() ? enabledItems(rows[row].items) : std::vector<OrganizerItem>{});
}

void Organizer::playAll()
{
    std::vector<OrganizerItem> items;
    for (const OrganizerRow& row : playlist().rows) {
        std::vector<OrganizerItem> enabled = enabledItems(row.items);
        items.insert(items.end(), enabled.begin(), enabled.end());
    }
    begin(std::move(items));
}

void Organizer::playSelection()
{
    std::vector<OrganizerItem> items;
    const auto& rows = playlist().rows;
    const size_t row = static_cast<size_t>(currentRow());
    if (row < rows.size()) {
        for (const int index : table.selectedRowIndexes()) {
            if (index < static_cast<int>(rows[row].items.size()))
                items.push_back(rows[row].items[static_cast<size_t>(index)]);
        }
    }
    begin(enabledItems(items));
}

void Organizer::togglePlayback()
{
    if (!playback_->toggle()) playSelection();
}

void Organizer::previousClip()
{
    if (playback_->queue().size() <= 1) return selectNeighbor(-1);
    // On the first item this shows it again from its start.
    playback_->showAt(std::max(0, playback_->playing() - 1));
}

void Organizer::nextClip()
{
    if (playback_->queue().size() <= 1) return selectNeighbor(1);
    next();
}

void Organizer::selectNeighbor(int delta)
{
    const int count = numberOfRows();
    if (count <= 0) return;
    // With no selection (-1) both directions land on the first item.
    selectTimeline(currentRow(), std::min(count - 1, std::max(0, table.selectedRow() + delta)));
}

void Organizer::selectTimeline(int row, std::optional<int> item)
{
    if (busy() || row < 0 || row >= static_cast<int>(playlist().rows.size())) return;
    const std::set<std::string> ids = item ? idsAt(row, {*item}) : std::set<std::string>{};
    reload({.row = row, .select = std::vector<std::string>(ids.begin(), ids.end()), .open = true});
}

} // namespace zanto
