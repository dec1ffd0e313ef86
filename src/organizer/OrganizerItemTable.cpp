#include "organizer/OrganizerItemTable.h"

namespace zanto {

namespace {

// `last` when it is among `rows`, else the highest of them (-1 for none).
int lastOf(const std::set<int>& rows, int last)
{
    return rows.count(last) ? last : (rows.empty() ? -1 : *rows.rbegin());
}

} // namespace

const std::vector<OrganizerItemTable::Column>& OrganizerItemTable::columns()
{
    static const std::vector<Column> list{{"name", "クリップ"}, {"time", "時間"}};
    return list;
}

void OrganizerItemTable::reloadData(int rowCount)
{
    rowCount_ = rowCount < 0 ? 0 : rowCount;
    std::set<int> kept;
    for (int row : selected_) {
        if (row < rowCount_) kept.insert(row);
    }
    setSelection(std::move(kept), lastSelected_);
}

void OrganizerItemTable::selectRowIndexes(const std::set<int>& rows, bool extend)
{
    std::set<int> next = extend ? selected_ : std::set<int>{};
    int last = extend ? lastSelected_ : -1;
    for (int row : rows) {
        if (row < 0 || row >= rowCount_) continue;
        next.insert(row);
        last = row;
    }
    setSelection(std::move(next), last);
}

void OrganizerItemTable::deselectAll()
{
    setSelection({}, -1);
}

void OrganizerItemTable::reset(int rowCount, const std::set<int>& rows, int current)
{
    rowCount_ = rowCount < 0 ? 0 : rowCount;
    selected_.clear();
    for (int row : rows) {
        if (row >= 0 && row < rowCount_) selected_.insert(row);
    }
    lastSelected_ = lastOf(selected_, current);
}

int OrganizerItemTable::selectedRow() const
{
    if (selected_.empty()) return -1;
    if (selected_.count(lastSelected_)) return lastSelected_;
    return *selected_.rbegin();
}

void OrganizerItemTable::setSelection(std::set<int> rows, int last)
{
    // A new selected line alone is a change too: the inspector shows it.
    const int before = selectedRow();
    lastSelected_ = lastOf(rows, last);
    if (rows == selected_ && lastSelected_ == before) return;
    selected_ = std::move(rows);
    if (selectionDidChange) selectionDidChange();
}

} // namespace zanto
