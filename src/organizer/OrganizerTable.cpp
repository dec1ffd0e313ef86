#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerTimelinePane.h"

#include <algorithm>

namespace zanto {

void Organizer::reload(std::optional<int> index)
{
    // A gesture or a drag of the range bar holds indexes into the document
    // that was on show; after a change they may name other items.
    timelinePane_->timeline().cancelGesture();
    preview_->rangeBar().cancelEdge();
    // Read before the pop-up is rebuilt, so that the same row stays on show.
    const int rowCount = static_cast<int>(playlist().rows.size());
    const int row = std::min(currentRow(), std::max(0, rowCount - 1));
    rowChoice.removeAllItems();
    for (const OrganizerRow& each : playlist().rows) rowChoice.addItem(each.name);
    rowChoice.selectItem(row);
    table.reloadData(numberOfRows());
    if (index && *index >= 0 && *index < table.numberOfRows()) table.selectRowIndexes({*index}, false);
    fields();
    // "[*]" in a window title is the platform's placeholder for unsaved
    // changes; a playlist title may hold it and must show it as typed.
    const QString title = QString::fromStdString(playlist().title).replace("[*]", "[*][*]");
    window_->setWindowTitle("ZANTORIX / " + title + " — ORGANIZER");
}

int Organizer::numberOfRows() const
{
    const int row = currentRow();
    if (row >= static_cast<int>(playlist().rows.size())) return 0;
    return static_cast<int>(playlist().rows[static_cast<size_t>(row)].items.size());
}

std::set<std::string> Organizer::idsAt(int row, const std::set<int>& indexes) const
{
    std::set<std::string> ids;
    if (row < 0 || row >= static_cast<int>(playlist().rows.size())) return ids;
    const auto& items = playlist().rows[static_cast<size_t>(row)].items;
    for (const int index : indexes) {
        if (index >= 0 && index < static_cast<int>(items.size())) ids.insert(items[static_cast<size_t>(index)].id);
    }
    return ids;
}

void Organizer::tableViewSelectionDidChange()
{
    fields();
}

void Organizer::fields()
{
    stop();
    const std::optional<OrganizerItem> item = selectedItem();
    preview_->showItem(item);
    if (item) {
        inspector_->showItem(*item, playlist(), table.numberOfSelectedRows());
    } else {
        inspector_->clearItem();
    }
    timelinePane_->timeline().setState(
        {playlist().rows, currentRow(), table.selectedRowIndexes(), table.selectedRow()});
}

} // namespace zanto
