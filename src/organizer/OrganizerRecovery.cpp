#include "organizer/Organizer.h"

#include "platform/AtomicFile.h"
#include "platform/Identifier.h"
#include "platform/JsonNesting.h"

#include <QDateTime>
#include <QStandardPaths>

#include <fstream>
#include <sstream>
#include <system_error>

namespace zanto {

namespace {

const char* const recoveryName = "organizer-recovery.json";

std::filesystem::path defaultRecoveryDirectory()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(data.toStdString()) / "ZANTORIX";
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readWhole(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return contents.str();
}

std::optional<OrganizerDocument> validDocument(const std::string& bytes)
{
    // A file nested deeper than any document of ours is not one; refuse it
    // before the parser builds it.
    if (jsonNestingDepth(bytes) > jsonNestingLimit) return std::nullopt;
    try {
        OrganizerDocument document = OrganizerDocument::fromJson(bytes);
        document.validate();
        return document;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string> organizerDocumentBytes(const OrganizerDocument& document)
{
    try {
        return document.toJson();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Organizer::loadRecovery(const std::optional<std::filesystem::path>& recoveryDirectory)
{
    const std::filesystem::path folder = recoveryDirectory.value_or(defaultRecoveryDirectory());
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    recovery_ = folder / recoveryName;
    if (!std::filesystem::exists(std::filesystem::symlink_status(recovery_, ignored))) return;
    const std::optional<std::string> bytes = readWhole(recovery_);
    std::optional<OrganizerDocument> loaded = bytes ? validDocument(*bytes) : std::nullopt;
    if (loaded) {
        playlist = std::move(*loaded);
    } else {
        setRecoveryAside();
    }
}

void Organizer::setRecoveryAside()
{
    // The last session's work may still be in there; keep it under a name of
    // its own rather than let the next edit overwrite it.
    const std::string stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    std::filesystem::path aside = recovery_.parent_path() / ("organizer-recovery-" + stamp + ".json");
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(aside, error))) {
        aside = recovery_.parent_path()
              / ("organizer-recovery-" + stamp + "-" + newIdentifier().substr(0, 8) + ".json");
    }
    std::filesystem::rename(recovery_, aside, error);
    if (!error) setAside_ = aside;
}

std::optional<QString> Organizer::writeRecovery(const std::optional<std::string>& bytes) const
{
    try {
        writeFileAtomically(recovery_, bytes ? *bytes : playlist.toJson());
        return std::nullopt;
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace zanto
