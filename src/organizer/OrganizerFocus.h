#pragma once
#include <optional>
#include <string>
#include <vector>

namespace zanto {

// What the views show after a change: the row on show, the table's
// selection in it and the item open in the preview. Items are named by
// id, so that an edit that moves or inserts items cannot make an index
// name another item.
struct OrganizerFocus {
    // The row on show; none keeps the current row (the last one when it
    // is gone). The row of the first selected item when there is one.
    std::optional<int> row;
    // The selected items, by id; the first is the table's selected line,
    // which the inspector shows and where a Shift press starts. Ids not
    // in the row are left out. None keeps the table's lines as they are.
    std::optional<std::vector<std::string>> select;
    // The first selected item opens, paused, in the preview.
    bool open = false;
};

} // namespace zanto
