#include "organizer/model/OrganizerEdits.h"

#include "services/ExportFailure.h"

#include <algorithm>

namespace zanto::edits {

std::optional<OrganizerItemPlace> findItem(const OrganizerDocument& document, const std::string& id)
{
    for (size_t row = 0; row < document.rows.size(); ++row) {
        const auto& items = document.rows[row].items;
        const auto found = std::find_if(items.begin(), items.end(),
                                        [&](const OrganizerItem& item) { return item.id == id; });
        if (found != items.end()) {
            return OrganizerItemPlace{static_cast<int>(row), static_cast<int>(found - items.begin())};
        }
    }
    return std::nullopt;
}

std::optional<std::string> refusal(const OrganizerDocument& candidate)
{
    try {
        candidate.validate();
        return std::nullopt;
    } catch (const ExportFailure& failure) {
        return failure.message;
    }
}

OrganizerDocument retitled(const OrganizerDocument& document, std::string title)
{
    OrganizerDocument result = document;
    result.title = std::move(title);
    return result;
}

OrganizerDocument replacingItem(const OrganizerDocument& document, const OrganizerItem& item)
{
    OrganizerDocument result = document;
    if (const std::optional<OrganizerItemPlace> place = findItem(document, item.id)) {
        result.rows[static_cast<size_t>(place->row)].items[static_cast<size_t>(place->index)] = item;
    }
    return result;
}

OrganizerDocument removingItems(const OrganizerDocument& document, int row, const std::set<std::string>& ids)
{
    OrganizerDocument result = document;
    if (row < 0 || row >= static_cast<int>(result.rows.size())) return result;
    std::erase_if(result.rows[static_cast<size_t>(row)].items,
                  [&](const OrganizerItem& item) { return ids.count(item.id) > 0; });
    return result;
}

} // namespace zanto::edits
