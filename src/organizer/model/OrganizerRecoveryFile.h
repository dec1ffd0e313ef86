#pragma once
#include "playlist/OrganizerDocument.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace zanto {

// The recovery file "organizer-recovery.json": the document as compact JSON,
// read when the Organizer starts and rewritten atomically after every edit.
// Beside it, "organizer-recovery.saved" holds the digest of the bytes last
// saved to a package or opened from one. Recovered bytes that match it are
// saved elsewhere; any others (an edit after the save, or no digest at all)
// are work that exists nowhere else, and come back as unsaved changes.
class OrganizerRecoveryFile {
public:
    struct Loaded {
        OrganizerDocument document;
        // The bytes are the ones last saved or opened.
        bool saved = false;
        bool operator==(const Loaded&) const = default;
    };

    // The folder "ZANTORIX" in the user's data folder.
    static std::filesystem::path defaultDirectory();

    // Creates the folder when it is missing.
    explicit OrganizerRecoveryFile(const std::filesystem::path& directory);

    const std::filesystem::path& path() const { return path_; }
    // Where a file that could not be loaded was moved, if one was.
    const std::optional<std::filesystem::path>& setAside() const { return setAside_; }

    // The valid document the file holds. A file that is there but cannot be
    // read or is not a valid document is set aside and gives none.
    std::optional<Loaded> load();
    // Replaces the file with `bytes`, or with `document`'s JSON when none were
    // given; the failure's description, or nothing.
    std::optional<QString> write(const OrganizerDocument& document, const std::optional<std::string>& bytes) const;
    // Records that `bytes`, what the recovery file now holds, are saved in a
    // package; none forgets the record. The failure's description, or nothing.
    std::optional<QString> markSaved(const std::optional<std::string>& bytes) const;

private:
    void setAsideUnreadable();

    bool savedBytes(const std::string& bytes) const;

    std::filesystem::path path_;
    std::filesystem::path savedPath_;
    std::optional<std::filesystem::path> setAside_;
};

} // namespace zanto
