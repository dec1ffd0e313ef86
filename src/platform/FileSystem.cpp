#include "platform/FileSystem.h"

#include "platform/FileDescriptor.h"
#include "platform/Identifier.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <system_error>

namespace fs = std::filesystem;

namespace zanto {
namespace {

// The kernel gives up after 40 links in one walk; so do we.
constexpr int maxLinksFollowed = 40;

bool isSymbolicLink(const fs::path& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

void prependComponents(std::deque<fs::path>& pending, const fs::path& path)
{
    const fs::path relative = path.relative_path();
    const std::deque<fs::path> parts(relative.begin(), relative.end());
    pending.insert(pending.begin(), parts.begin(), parts.end());
}

} // namespace

void throwSystemError(int error, const fs::path& path)
{
    throw std::system_error(error, std::generic_category(), path.string());
}

fs::path resolvedPath(const fs::path& path)
{
    std::deque<fs::path> pending;
    prependComponents(pending, fs::absolute(path));
    fs::path current = "/";
    int linksFollowed = 0;
    while (!pending.empty()) {
        const fs::path part = pending.front();
        pending.pop_front();
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            current = current.parent_path();
            continue;
        }
        fs::path next = current / part;
        if (!isSymbolicLink(next)) {
            current = std::move(next);
            continue;
        }
        if (++linksFollowed > maxLinksFollowed) throwSystemError(ELOOP, path);
        const fs::path target = fs::read_symlink(next);
        prependComponents(pending, target);
        if (target.is_absolute()) current = "/";
    }
    return current;
}

fs::path absoluteEntryPath(const fs::path& path)
{
    fs::path result = fs::absolute(path).lexically_normal();
    if (!result.has_filename() && result.has_relative_path()) result = result.parent_path();
    return result;
}

fs::path temporaryFolder()
{
    return fs::temp_directory_path();
}

fs::path hiddenSibling(const fs::path& destination, std::string_view prefix)
{
    std::string name(prefix);
    name += newIdentifier();
    return absoluteEntryPath(destination).parent_path() / name;
}

bool WorkName::matches(std::string_view name) const
{
    if (name.size() < prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
        return false;
    return isIdentifier(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
}

void createFolder(const fs::path& folder)
{
    if (::mkdir(folder.c_str(), 0777) != 0) throwSystemError(errno, folder);
}

namespace {

// Writes all of `bytes`; false with errno set on failure.
bool writeAll(int fd, const char* bytes, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

// The copy itself, by hand: std::filesystem reports a write that failed for
// want of space (or past the file size limit) as a plain I/O error, and the
// person saving should learn that the disk is full.
void copyBytes(const fs::path& from, const fs::path& to)
{
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info { };
    if (!in.valid() || ::fstat(in.get(), &info) != 0) throwSystemError(errno, from);
    if (S_ISDIR(info.st_mode)) throwSystemError(EISDIR, from);
    if (!S_ISREG(info.st_mode)) throwSystemError(EINVAL, from);
    FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777));
    if (!out.valid()) throwSystemError(errno, to);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(in.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throwSystemError(errno, from);
        if (count == 0) break;
        if (!writeAll(out.get(), buffer, static_cast<std::size_t>(count))) throwSystemError(errno, to);
    }
    if (out.close() != 0) throwSystemError(errno, to);
}

} // namespace

void copyFile(const fs::path& from, const fs::path& to)
{
    std::error_code ignored;
    const bool existed = fs::exists(fs::symlink_status(to, ignored));
    try {
        copyBytes(from, to);
        flushFile(to);
    } catch (...) {
        // A half-written copy must not pass for the file.
        if (!existed) fs::remove(to, ignored);
        throw;
    }
}

void flushFile(const fs::path& file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) throwSystemError(errno, file);
    // EINVAL: a file system with nothing to flush (a pipe, some FUSE mounts).
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP) throwSystemError(errno, file);
}

void syncToDisk(const fs::path& entry) noexcept
{
    FileDescriptor fd(::open(entry.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.valid()) ::fsync(fd.get());
}

void linkOrCopyFile(const fs::path& from, const fs::path& to)
{
    if (::link(from.c_str(), to.c_str()) == 0) return;
    if (errno == EEXIST) throwSystemError(EEXIST, to);
    copyFile(from, to);
}

std::optional<std::string> readFileBelow(const fs::path& path, std::uintmax_t limitBytes)
{
    // Non-blocking so that a pipe or a device in place of the file cannot
    // hang the caller before we get to look at what it is.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) throwSystemError(errno, path);
    struct stat info { };
    if (::fstat(fd.get(), &info) != 0) throwSystemError(errno, path);
    if (S_ISDIR(info.st_mode)) throwSystemError(EISDIR, path);
    if (!S_ISREG(info.st_mode)) throwSystemError(EINVAL, path);
    if (static_cast<std::uintmax_t>(info.st_size) >= limitBytes) return std::nullopt;

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throwSystemError(errno, path);
        if (count == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() >= limitBytes) return std::nullopt;
    }
    return bytes;
}

EntryMoves EntryMoves::system()
{
    return EntryMoves{
        .rename = [](const fs::path& from, const fs::path& to) { fs::rename(from, to); },
        .exchange =
            [](const fs::path& first, const fs::path& second) {
                if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) != 0)
                    throwSystemError(errno, second);
            },
        .removeAll = [](const fs::path& entry) { fs::remove_all(entry); },
    };
}

namespace {

// Swaps `staged` and `destination`; false where the file system has no such
// step, which leaves both where they were.
bool exchanged(const fs::path& staged, const fs::path& destination, const EntryMoves& moves)
{
    try {
        moves.exchange(staged, destination);
        return true;
    } catch (const std::system_error& error) {
        const int code = error.code().value();
        if (error.code().category() == std::generic_category() && (code == EINVAL || code == ENOSYS || code == ENOTSUP))
            return false;
        throw;
    }
}

void removeQuietly(const fs::path& entry, const EntryMoves& moves) noexcept
{
    try {
        moves.removeAll(entry);
    } catch (...) {
        // The new entry is in place; a leftover costs only disk space, and
        // the next save to this place removes it.
    }
}

// The two-step replacement for file systems that cannot swap.
void replaceByRenames(const fs::path& staged, const fs::path& destination, std::string_view backupPrefix,
                      const EntryMoves& moves)
{
    const fs::path backup = hiddenSibling(destination, backupPrefix);
    moves.rename(destination, backup);
    try {
        moves.rename(staged, destination);
    } catch (...) {
        try {
            moves.rename(backup, destination);
        } catch (...) {
            // The previous entry stays at its backup name; the move's own
            // error is the one worth reporting.
        }
        throw;
    }
    syncToDisk(absoluteEntryPath(destination).parent_path());
    removeQuietly(backup, moves);
}

} // namespace

void moveIntoPlace(const fs::path& staged, const fs::path& destination, std::string_view backupPrefix,
                   const EntryMoves& moves)
{
    std::error_code statusError;
    const bool hadPrevious = fs::exists(fs::symlink_status(destination, statusError));
    if (!hadPrevious) {
        moves.rename(staged, destination);
        syncToDisk(absoluteEntryPath(destination).parent_path());
        return;
    }
    if (!exchanged(staged, destination, moves)) {
        replaceByRenames(staged, destination, backupPrefix, moves);
        return;
    }
    syncToDisk(absoluteEntryPath(destination).parent_path());
    removeQuietly(staged, moves); // the previous entry, now at the staged name
}

FileDescriptor lockFolder(const fs::path& folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) throwSystemError(errno, folder);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) throwSystemError(errno, folder);
    return fd;
}

namespace {

// Whether the open `fd` is still the entry called `path`, rather than one
// removed, or replaced by another of that name, since it was opened.
bool stillNamed(int fd, const fs::path& path)
{
    struct stat opened { };
    struct stat named { };
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev
           && opened.st_ino == named.st_ino;
}

bool lockedAtOnce(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

} // namespace

LockedFolder LockedFolder::create(const fs::path& destination, std::string_view prefix)
{
    // As for LockedFile: a sweep that came upon the folder before its lock
    // took it for a dead owner's, so this one starts afresh under a new name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path path = hiddenSibling(destination, prefix);
        createFolder(path);
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        if (fd.valid() && lockedAtOnce(fd.get()) && stillNamed(fd.get(), path))
            return LockedFolder{.path = std::move(path), .lock = std::move(fd)};
    }
    throwSystemError(EAGAIN, absoluteEntryPath(destination).parent_path());
}

LockedFile LockedFile::create(const fs::path& destination, std::string_view prefix, std::string_view suffix,
                              unsigned mode)
{
    // Another writer's sweep may come upon the file between its creation and
    // its lock and take it for a dead writer's: then this one starts afresh
    // under a new name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path path = hiddenSibling(destination, prefix);
        path += suffix;
        FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!fd.valid()) throwSystemError(errno, absoluteEntryPath(destination));
        if (lockedAtOnce(fd.get()) && stillNamed(fd.get(), path)) return LockedFile(std::move(path), std::move(fd));
    }
    throwSystemError(EAGAIN, absoluteEntryPath(destination));
}

LockedFile::~LockedFile()
{
    // Removed while still locked; closing the descriptor then lets go.
    if (!placed_) ::unlink(path_.c_str());
}

void LockedFile::moveTo(const fs::path& destination)
{
    if (::rename(path_.c_str(), destination.c_str()) != 0) throwSystemError(errno, destination);
    placed_ = true;
}

void removeAbandonedSiblings(const fs::path& destination, WorkName name, SiblingKind kind) noexcept
{
    std::error_code error;
    const fs::path folder = absoluteEntryPath(destination).parent_path();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path entry = it->path();
        if (!name.matches(entry.filename().native())) continue;
        // A link by that name is none of ours and stays.
        FileDescriptor fd(::open(entry.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        if (!fd.valid() || !lockedAtOnce(fd.get()) || !stillNamed(fd.get(), entry)) continue;
        struct stat info { };
        if (kind == SiblingKind::File && (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))) continue;
        std::error_code ignored;
        fs::remove_all(entry, ignored);
    }
}

} // namespace zanto
