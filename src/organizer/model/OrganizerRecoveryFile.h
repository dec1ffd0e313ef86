#pragma once
#include "playlist/OrganizerDocument.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace zanto {

// The recovery file "organizer-recovery.json": the document as compact JSON,
// read when the Organizer starts and rewritten atomically after every edit.
class OrganizerRecoveryFile {
public:
    // The folder "ZANTORIX" in the user's data folder.
    static std::filesystem::path defaultDirectory();

    // Creates the folder when it is missing.
    explicit OrganizerRecoveryFile(const std::filesystem::path& directory);

    const std::filesystem::path& path() const { return path_; }
    // Where a file that could not be loaded was moved, if one was.
    const std::optional<std::filesystem::path>& setAside() const { return setAside_; }

    // The valid document the file holds. A file that is there but cannot be
    // read or is not a valid document is set aside and gives none.
    std::optional<OrganizerDocument> load();
    // Replaces the file with `bytes`, or with `document`'s JSON when none were
    // given; the failure's description, or nothing.
    std::optional<QString> write(const OrganizerDocument& document, const std::optional<std::string>& bytes) const;

private:
    void setAsideUnreadable();

    std::filesystem::path path_;
    std::optional<std::filesystem::path> setAside_;
};

} // namespace zanto
