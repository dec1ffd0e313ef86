#pragma once
#include <string>
#include <vector>

namespace zanto {

// The row pop-up, kept off screen: one title per playlist row and the index of
// the current row. Like a pop-up button, adding the first entry selects it and
// emptying it leaves nothing selected. Main thread only.
class OrganizerRowChoice {
public:
    void removeAllItems();
    void addItem(const std::string& title);
    // Selects the entry at `index`; an index outside the entries selects none.
    void selectItem(int index);

    int numberOfItems() const { return static_cast<int>(titles_.size()); }
    const std::vector<std::string>& itemTitles() const { return titles_; }
    // -1 when nothing is selected.
    int indexOfSelectedItem() const { return selected_; }

private:
    std::vector<std::string> titles_;
    int selected_ = -1;
};

} // namespace zanto
