#include "organizer/model/OrganizerRecoveryFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Identifier.h"
#include "platform/JsonNesting.h"
#include "platform/UserFileError.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QStandardPaths>

#include <system_error>

namespace zanto {

namespace {

const char* const recoveryName = "organizer-recovery.json";
const char* const savedName = "organizer-recovery.saved";
// Far above the largest document the row and item limits allow.
constexpr std::uintmax_t recoveryLimitBytes = 25'000'000;

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

std::string digest(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

} // namespace

std::filesystem::path OrganizerRecoveryFile::defaultDirectory()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(data.toStdString()) / "ZANTORIX";
}

OrganizerRecoveryFile::OrganizerRecoveryFile(const std::filesystem::path& directory)
    : path_(directory / recoveryName), savedPath_(directory / savedName)
{
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
}

std::optional<OrganizerRecoveryFile::Loaded> OrganizerRecoveryFile::load()
{
    std::error_code ignored;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path_, ignored))) return std::nullopt;
    std::optional<std::string> bytes;
    try {
        bytes = readFileBelow(path_, recoveryLimitBytes);
    } catch (const std::exception&) {
        bytes.reset();
    }
    std::optional<OrganizerDocument> loaded = bytes ? validDocument(*bytes) : std::nullopt;
    if (!loaded) {
        setAsideUnreadable();
        return std::nullopt;
    }
    return Loaded{.document = std::move(*loaded), .saved = savedBytes(*bytes)};
}

bool OrganizerRecoveryFile::savedBytes(const std::string& bytes) const
{
    // A record that is missing, unreadable or damaged matches nothing: the
    // work counts as unsaved, and replacing it asks first.
    try {
        const std::optional<std::string> record = readFileBelow(savedPath_, 1000);
        return record && *record == digest(bytes);
    } catch (const std::exception&) {
        return false;
    }
}

void OrganizerRecoveryFile::setAsideUnreadable()
{
    // The last session's work may still be in there; keep it under a name of
    // its own rather than let the next edit overwrite it.
    const std::string stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    std::filesystem::path aside = path_.parent_path() / ("organizer-recovery-" + stamp + ".json");
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(aside, error))) {
        aside = path_.parent_path() / ("organizer-recovery-" + stamp + "-" + newIdentifier().substr(0, 8) + ".json");
    }
    std::filesystem::rename(path_, aside, error);
    if (!error) setAside_ = aside;
}

std::optional<QString> OrganizerRecoveryFile::write(const OrganizerDocument& document,
                                                    const std::optional<std::string>& bytes) const
{
    try {
        writeFileAtomically(path_, bytes ? *bytes : document.toJson());
        return std::nullopt;
    } catch (const std::system_error& error) {
        return QString::fromUtf8(UserFileError(error.code(), path_, FileAction::Save).what());
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

std::optional<QString> OrganizerRecoveryFile::markSaved(const std::optional<std::string>& bytes) const
{
    try {
        if (bytes) {
            writeFileAtomically(savedPath_, digest(*bytes));
        } else {
            std::filesystem::remove(savedPath_);
        }
        return std::nullopt;
    } catch (const std::system_error& error) {
        return QString::fromUtf8(UserFileError(error.code(), savedPath_, FileAction::Save).what());
    }
}

} // namespace zanto
