#include "playlist/OrganizerDocument.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "playlist/PlaylistFileError.h"
#include "services/ExportFailure.h"
#include "services/JsonCoding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace zanto {
namespace {

constexpr std::uintmax_t documentLimitBytes = 25'000'000;
constexpr const char* documentFile = "playlist.json";
constexpr const char* mediaPrefix = "media/";
// An embedded name is a 36-character identifier, "-" and the original name;
// the whole must fit one file-name component.
constexpr std::size_t nameBytesMax = 255;

const std::string badMaterialPath = "不正な素材パスです。";
const std::string unlinkedSource = "未接続の映像があります。リンクのみで保存するか、映像を再接続してください。";

bool isSportscodePlaylist(const fs::path& location)
{
    std::string extension = absoluteEntryPath(location).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".scplaylist";
}

// Cuts `name` to `budget` bytes keeping its extension and whole UTF-8
// characters, so a long original name still gives a name the disk accepts.
std::string fitName(const std::string& name, std::size_t budget)
{
    if (name.size() <= budget) return name;
    std::string extension = fs::path(name).extension().string();
    if (extension.size() > budget / 2) extension.clear();
    std::size_t keep = budget - extension.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return name.substr(0, keep) + extension;
}

// "media/<new identifier>-<file name>".
std::string embeddedName(const fs::path& original)
{
    const std::string identifier = newIdentifier() + "-";
    return mediaPrefix + identifier + fitName(original.filename().string(), nameBytesMax - identifier.size());
}

// The start of the hidden work folder and backup names of saves to
// `destination`: ".playlist-", a digest of its name and "-", so that a save
// finds what earlier saves to the same place left, whatever the name's length.
std::string workPrefix(const fs::path& destination)
{
    const std::string name = destination.filename().native();
    std::uint64_t digest = 14695981039346656037ull; // FNV-1a
    for (const unsigned char c : name) digest = (digest ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest));
    return std::string(".playlist-") + hex + "-";
}

// `folder` resolved, with a trailing separator: a path lies inside the folder
// when its resolved text starts with this.
std::string insideBase(const fs::path& folder)
{
    std::string base = resolvedPath(folder).native();
    if (base.back() != '/') base += '/';
    return base;
}

std::string mediaBase(const fs::path& package)
{
    return insideBase(package) + mediaPrefix;
}

// A NUL would cut the path short at the system call: such a path names no
// file, rather than the one its first part happens to name.
bool namesNoFile(const std::string& path)
{
    return path.find('\0') != std::string::npos;
}

bool fileExists(const std::string& path)
{
    std::error_code error;
    return !namesNoFile(path) && fs::exists(path, error);
}

// `path` resolved, or nothing for a loop of links or a path that names no
// file.
std::optional<std::string> resolvedText(const std::string& path)
{
    if (namesNoFile(path)) return std::nullopt;
    try {
        return resolvedPath(path).native();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

} // namespace

// The package under construction: the hidden sibling folder and the files
// this save has already put in it. Removes the folder on every way out, and
// holds a lock on it meanwhile, so that other saves know it is in use.
struct OrganizerDocument::PackageWrite {
    explicit PackageWrite(const fs::path& target)
        : destination(target), prefix(workPrefix(target)), staging(hiddenSibling(target, prefix))
    {
        createFolder(staging);
        try {
            lock = lockFolder(staging);
            createFolder(staging / "media");
        } catch (...) {
            removeStaging();
            throw;
        }
    }
    ~PackageWrite() { removeStaging(); }
    PackageWrite(const PackageWrite&) = delete;
    PackageWrite& operator=(const PackageWrite&) = delete;

    void removeStaging() noexcept
    {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
    }

    std::optional<std::string> carryOver(const std::string& file);
    bool insidePrevious(const std::string& file) const;

    const fs::path destination;
    const std::string prefix;
    const fs::path staging;
    FileDescriptor lock;
    // Where files of the package being replaced stand, resolved: the swap
    // deletes everything below `previousBase`.
    const std::string previousBase = insideBase(destination);
    const std::string previousMedia = mediaBase(destination);
    // Path before the save -> stored path, shared by every file of one save.
    std::map<std::string, std::string> stored;
};

// A file inside the destination's own "media/" folder is the previous
// package's copy, which the swap is about to delete: it moves on into the new
// package under the same name, so a document read from this package keeps
// pointing at real files and a resave does not copy every video again. The
// folder is judged as reading judges stored paths, so a "media" that is a
// link to somewhere else carries nothing.
std::optional<std::string> OrganizerDocument::PackageWrite::carryOver(const std::string& path)
{
    const std::optional<std::string> file = resolvedText(path);
    std::error_code error;
    if (!file || !file->starts_with(previousMedia) || !fs::is_regular_file(*file, error)) return std::nullopt;
    const std::string name = mediaPrefix + file->substr(previousMedia.size());
    const fs::path copy = staging / name;
    if (!fs::exists(fs::symlink_status(copy, error))) {
        fs::create_directories(copy.parent_path());
        linkOrCopyFile(*file, copy);
    }
    return name;
}

// A linked file elsewhere inside the package being replaced would go with it.
bool OrganizerDocument::PackageWrite::insidePrevious(const std::string& path) const
{
    const std::optional<std::string> file = resolvedText(path);
    std::error_code error;
    return file && file->starts_with(previousBase) && fs::is_regular_file(*file, error);
}

std::string OrganizerDocument::material(const std::string& path, bool required, PackageWrite& package)
{
    if (path.empty()) {
        if (required) throw failure(unlinkedSource);
        return "";
    }
    if (const auto known = package.stored.find(path); known != package.stored.end()) return known->second;
    if (auto carried = package.carryOver(path)) {
        package.stored.emplace(path, *carried);
        return *carried;
    }
    // A file that stays linked keeps its path, unless the swap is about to
    // delete it with the previous package: then it is embedded instead.
    if (!required && !package.insidePrevious(path)) return path;
    if (!fileExists(path)) throw failure("素材が見つかりません：" + path);
    const std::string name = embeddedName(path);
    copyFile(path, package.staging / name);
    package.stored.emplace(path, name);
    return name;
}

void OrganizerDocument::write(const fs::path& destination, bool embed) const
{
    try {
        writePackage(destination, embed);
    } catch (...) {
        rethrowForUser(destination, FileAction::Save);
    }
}

void OrganizerDocument::writePackage(const fs::path& destination, bool embed) const
{
    validate();
    const fs::path target = absoluteEntryPath(destination);
    PackageWrite package(target);
    OrganizerDocument stored = *this;
    for (OrganizerSource& source : stored.sources) source.path = material(source.path, embed, package);
    for (OrganizerRow& row : stored.rows) {
        for (OrganizerItem& item : row.items) item.imagePath = material(item.imagePath, item.kind == "image", package);
    }
    writeFileAtomically(package.staging / documentFile, stored.toJson());
    syncToDisk(package.staging / "media");
    const std::string backupPrefix = package.prefix + "backup-";
    moveIntoPlace(package.staging, target, backupPrefix);
    // Work folders and backups of saves to this place that were killed.
    removeAbandonedSiblings(target, {package.prefix});
    removeAbandonedSiblings(target, {backupPrefix});
}

std::string OrganizerDocument::resolve(const fs::path& package, const std::string& storedPath)
{
    // A relative path outside "media/" would be read against whatever folder
    // the process happens to run in.
    if (!storedPath.starts_with(mediaPrefix) && fs::path(storedPath).is_relative() && !storedPath.empty())
        throw failure(badMaterialPath);
    if (!storedPath.starts_with(mediaPrefix)) return storedPath;
    if (namesNoFile(storedPath)) throw failure(badMaterialPath);
    std::string candidate;
    try {
        candidate = resolvedPath(package / storedPath).native();
    } catch (const std::system_error&) {
        throw failure(badMaterialPath); // a loop of links leads nowhere usable
    }
    if (!candidate.starts_with(mediaBase(package))) throw failure(badMaterialPath);
    return candidate;
}

OrganizerDocument OrganizerDocument::read(const fs::path& location)
{
    if (isSportscodePlaylist(location)) return sportscode(location);
    try {
        return readPackage(location);
    } catch (...) {
        rethrowForUser(location, FileAction::Open);
    }
}

OrganizerDocument OrganizerDocument::readPackage(const fs::path& location)
{
    const fs::path package = absoluteEntryPath(location);
    const std::optional<std::string> bytes = readFileBelow(package / documentFile, documentLimitBytes);
    if (!bytes) throw failure("プレイリストが大きすぎます。");
    OrganizerDocument document = fromJson(*bytes);
    document.validate();
    for (OrganizerSource& source : document.sources) source.path = resolve(package, source.path);
    for (OrganizerRow& row : document.rows) {
        for (OrganizerItem& item : row.items) item.imagePath = resolve(package, item.imagePath);
    }
    return document;
}

} // namespace zanto
