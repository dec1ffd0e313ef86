// The pop-up menus of the toolbar and the timeline. Each entry performs a row
// of OrganizerActions, so an entry obeys the same busy rule as the command's
// other controls.
#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"

namespace zanto {

void Organizer::popup(OrganizerMenu menu)
{
    const std::span<const OrganizerCommand> entries = OrganizerActions::menu(menu);
    QStringList titles;
    for (const OrganizerCommand command : entries) titles << OrganizerActions::title(menu, command);
    const std::optional<int> chosen = dialogs().menu(titles);
    if (chosen && *chosen >= 0 && *chosen < static_cast<int>(entries.size())) {
        perform(entries[static_cast<size_t>(*chosen)]);
    }
}

} // namespace zanto
