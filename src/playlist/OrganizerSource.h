#pragma once
#include <string>

#include "platform/Identifier.h"

namespace zanto {

class JsonObjectReader;
class JsonWriter;

// One video (one camera angle) that items refer to by `id`.
struct OrganizerSource {
    std::string id = newIdentifier();
    std::string name;
    // Absolute path of the movie file; "" when not linked; inside a stored
    // package a path starting with "media/".
    std::string path;
    double offset = 0; // seconds added to an item's times to get file times

    bool operator==(const OrganizerSource&) const = default;

    void encode(JsonWriter& writer) const;
    static OrganizerSource decode(const JsonObjectReader& reader);
};

} // namespace zanto
