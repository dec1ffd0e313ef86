#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerTimelinePane.h"
#include "organizer/model/OrganizerEdits.h"

#include <algorithm>

namespace zanto {

void Organizer::reload(const OrganizerFocus& focus)
{
    // A gesture or a drag of the range bar holds indexes into the document
    // that was on show; after a change they may name other items.
    timelinePane_->timeline().cancelGesture();
    preview_->rangeBar().cancelEdge();
    placeFocus(focus);
    fields(focus.open);
    // "[*]" in a window title is the platform's placeholder for unsaved
    // changes; a playlist title may hold it and must show it as typed.
    const QString title = QString::fromStdString(playlist().title).replace("[*]", "[*][*]");
    window_->setWindowTitle("ZANTORIX / " + title + " — ORGANIZER");
}

void Organizer::placeFocus(const OrganizerFocus& focus)
{
    const auto& rows = playlist().rows;
    const int rowCount = static_cast<int>(rows.size());
    int row = std::min(focus.row.value_or(currentRow()), std::max(0, rowCount - 1));
    std::optional<OrganizerItemPlace> first;
    if (focus.select && !focus.select->empty() && (first = edits::findItem(playlist(), focus.select->front()))) {
        row = first->row;
    }
    rowChoice.removeAllItems();
    for (const OrganizerRow& each : rows) rowChoice.addItem(each.name);
    rowChoice.selectItem(row);
    if (!focus.select) {
        const std::set<int> kept = table.selectedRowIndexes();
        table.reset(numberOfRows(), kept, table.selectedRow());
        return;
    }
    const std::set<std::string> ids(focus.select->begin(), focus.select->end());
    std::set<int> lines;
    for (int i = 0; row < rowCount && i < numberOfRows(); ++i) {
        if (ids.count(rows[static_cast<size_t>(row)].items[static_cast<size_t>(i)].id)) lines.insert(i);
    }
    table.reset(numberOfRows(), lines, first ? first->index : -1);
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

void Organizer::fields(bool open)
{
    const std::optional<OrganizerItem> item = selectedItem();
    // Opening the item stops whatever played before it.
    if (!open || !item) stop();
    preview_->showItem(item);
    if (item) {
        inspector_->showItem(*item, playlist(), table.numberOfSelectedRows());
    } else {
        inspector_->clearItem();
    }
    showTimeline();
    if (open && item) begin({*item}, false);
}

void Organizer::showTimeline()
{
    timelinePane_->timeline().setState({.rows = playlist().rows,
                                        .currentRow = currentRow(),
                                        .selection = table.selectedRowIndexes(),
                                        .selectedRow = table.selectedRow()});
}

} // namespace zanto
