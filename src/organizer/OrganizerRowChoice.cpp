#include "organizer/OrganizerRowChoice.h"

namespace zanto {

void OrganizerRowChoice::removeAllItems()
{
    titles_.clear();
    selected_ = -1;
}

void OrganizerRowChoice::addItem(const std::string& title)
{
    titles_.push_back(title);
    if (selected_ < 0) selected_ = 0;
}

void OrganizerRowChoice::selectItem(int index)
{
    selected_ = index >= 0 && index < numberOfItems() ? index : -1;
}

} // namespace zanto
