#pragma once
#include <string>
#include <vector>

#include "platform/Identifier.h"
#include "playlist/OrganizerItem.h"

namespace zanto {

// One named row of items, in playing order.
struct OrganizerRow {
    std::string id = newIdentifier();
    std::string name;
    std::vector<OrganizerItem> items;

    bool operator==(const OrganizerRow&) const = default;

    void encode(JsonWriter& writer) const;
    static OrganizerRow decode(const JsonObjectReader& reader);
};

} // namespace zanto
