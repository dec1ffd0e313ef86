#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace zanto {

// The item table of the current row, kept off screen: the line count and the
// selection among the lines. It is the Organizer's selection model; the
// timeline draws it and changes it, and one-item commands act on selectedRow().
// Main thread only.
class OrganizerItemTable {
public:
    struct Column {
        std::string identifier;
        std::string title;
    };

    // The two columns every item table has, in order.
    static const std::vector<Column>& columns();

    // Takes the new line count; selected lines past the end are dropped.
    void reloadData(int rowCount);
    int numberOfRows() const { return rowCount_; }

    // Selects the given lines (those outside the table are ignored), replacing
    // the selection unless `extend` is set.
    void selectRowIndexes(const std::set<int>& rows, bool extend);
    void deselectAll();
    // Takes the line count and the selection (those outside the table are
    // ignored) with `current` as its selected line, without calling
    // selectionDidChange: for the refresh that shows them itself.
    void reset(int rowCount, const std::set<int>& rows, int current);

    const std::set<int>& selectedRowIndexes() const { return selected_; }
    int numberOfSelectedRows() const { return static_cast<int>(selected_.size()); }
    // The most recently selected line that is still selected, else the last
    // selected line; -1 without a selection.
    int selectedRow() const;

    // Called after every change of the selection, whoever made it.
    std::function<void()> selectionDidChange;

private:
    void setSelection(std::set<int> rows, int last);

    int rowCount_ = 0;
    std::set<int> selected_;
    int lastSelected_ = -1;
};

} // namespace zanto
