#include "organizer/model/OrganizerEdits.h"

#include "services/ExportFailure.h"

#include "platform/Identifier.h"

#include <algorithm>
#include <filesystem>

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

namespace {

bool hasRow(const OrganizerDocument& document, int row)
{
    return row >= 0 && row < static_cast<int>(document.rows.size());
}

std::vector<OrganizerItem>& itemsOf(OrganizerDocument& document, int row)
{
    return document.rows[static_cast<size_t>(row)].items;
}

} // namespace

OrganizerDocument addingRow(const OrganizerDocument& document, std::string name)
{
    OrganizerDocument result = document;
    OrganizerRow row;
    row.name = std::move(name);
    result.rows.push_back(std::move(row));
    return result;
}

OrganizerDocument renamingRow(const OrganizerDocument& document, int row, std::string name)
{
    OrganizerDocument result = document;
    if (hasRow(result, row)) result.rows[static_cast<size_t>(row)].name = std::move(name);
    return result;
}

OrganizerDocument removingRow(const OrganizerDocument& document, int row)
{
    OrganizerDocument result = document;
    if (hasRow(result, row)) result.rows.erase(result.rows.begin() + row);
    return result;
}

OrganizerDocument movingRow(const OrganizerDocument& document, int row, int step)
{
    OrganizerDocument result = document;
    if (hasRow(result, row) && hasRow(result, row + step)) {
        std::swap(result.rows[static_cast<size_t>(row)], result.rows[static_cast<size_t>(row + step)]);
    }
    return result;
}

OrganizerDocument insertingItems(const OrganizerDocument& document, int row, int position,
                                 const std::vector<OrganizerItem>& items)
{
    OrganizerDocument result = document;
    if (!hasRow(result, row)) return result;
    std::vector<OrganizerItem>& target = itemsOf(result, row);
    const int at = std::clamp(position, 0, static_cast<int>(target.size()));
    target.insert(target.begin() + at, items.begin(), items.end());
    return result;
}

OrganizerDocument duplicatingItems(const OrganizerDocument& document, int row, const std::set<int>& indexes)
{
    if (!hasRow(document, row)) return document;
    const std::vector<OrganizerItem>& items = document.rows[static_cast<size_t>(row)].items;
    std::vector<OrganizerItem> copies;
    for (const int index : indexes) {
        if (index < 0 || index >= static_cast<int>(items.size())) continue;
        copies.push_back(items[static_cast<size_t>(index)]);
        copies.back().id = newIdentifier();
    }
    return insertingItems(document, row, static_cast<int>(items.size()), copies);
}

OrganizerDocument removingItemsAt(const OrganizerDocument& document, int row, const std::set<int>& indexes)
{
    OrganizerDocument result = document;
    if (!hasRow(result, row)) return result;
    std::vector<OrganizerItem>& items = itemsOf(result, row);
    for (auto index = indexes.rbegin(); index != indexes.rend(); ++index) {
        if (*index >= 0 && *index < static_cast<int>(items.size())) items.erase(items.begin() + *index);
    }
    return result;
}

OrganizerItem titleItem(std::string name)
{
    OrganizerItem item;
    item.kind = "title";
    item.name = std::move(name);
    return item;
}

OrganizerItem imageItem(const std::string& path)
{
    OrganizerItem item;
    item.kind = "image";
    item.name = std::filesystem::path(path).stem().string();
    item.imagePath = std::filesystem::absolute(path).string();
    return item;
}

} // namespace zanto::edits
