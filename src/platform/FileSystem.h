#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.h"

// File operations shared by every layer that stores or reads user files.
// All functions are synchronous, keep no state and may run on any thread.
// Failures throw std::system_error (std::filesystem::filesystem_error for the
// std::filesystem calls) whose message holds the OS's own description.

namespace zanto {

// Throws std::system_error for `error` (an errno value) about `path`; its
// message is the path and the OS's description.
[[noreturn]] void throwSystemError(int error, const std::filesystem::path& path);

// `path` made absolute with every symbolic link followed and every "." and
// ".." removed, the way the kernel would walk it. Components that do not
// exist are taken as plain names, so the result is defined for files that
// are yet to be written; a ".." after a missing component steps back to its
// parent and the walk goes on from there. Throws for a loop of links (ELOOP)
// or an unreadable link.
std::filesystem::path resolvedPath(const std::filesystem::path& path);

// `path` made absolute and lexically normal, without a trailing separator,
// so that parent_path() names the folder that holds it.
std::filesystem::path absoluteEntryPath(const std::filesystem::path& path);

// The folder for short-lived work files ($TMPDIR, else /tmp).
std::filesystem::path temporaryFolder();

// parent folder of `destination` / (prefix + a new identifier): a hidden
// sibling in the same folder, so that moving it into place is a rename.
std::filesystem::path hiddenSibling(const std::filesystem::path& destination, std::string_view prefix);

// The names a writer gives the entries it works in: `prefix`, a new
// identifier, `suffix`. A sweep takes only names of exactly that form, so
// that a user's own file that merely starts alike is never taken for one.
struct WorkName {
    std::string_view prefix;
    std::string_view suffix = {};

    bool matches(std::string_view name) const;
};

// Creates one folder; its parent must already exist (a missing parent is an
// error rather than a reason to create folders the user never chose).
void createFolder(const std::filesystem::path& folder);

// Flushes a file's or a folder's contents to the disk (fsync), so that a
// rename that follows cannot outlive the data after a power cut. Best
// effort: some file systems refuse fsync on a folder.
void syncToDisk(const std::filesystem::path& entry) noexcept;

// Copies one regular file to a new name, flushed to the disk; an existing
// `to` is an error. On failure no part of the copy remains.
void copyFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Flushes one file's contents to the disk (fsync) and throws when the disk
// reports a failure (EIO, ENOSPC), which would otherwise surface only as a
// damaged file later.
void flushFile(const std::filesystem::path& file);

// Gives `to` the contents of `from`: a hard link when both lie on one file
// system, otherwise a copy. Used for files that move on unchanged into a new
// package, where a link saves copying a whole video.
void linkOrCopyFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads a whole regular file. Returns nothing when it holds `limitBytes`
// bytes or more (tested before the contents are read, and again while
// reading in case the file grows). A directory, a device or a pipe is an
// error rather than something to block on.
std::optional<std::string> readFileBelow(const std::filesystem::path& path, std::uintmax_t limitBytes);

// The renames and removals that moveIntoPlace() performs, replaceable so that
// tests can make any one of them fail. `exchange` swaps two entries in one
// step; where the file system cannot, it throws EINVAL, ENOSYS or ENOTSUP.
struct EntryMoves {
    std::function<void(const std::filesystem::path& from, const std::filesystem::path& to)> rename;
    std::function<void(const std::filesystem::path& first, const std::filesystem::path& second)> exchange;
    std::function<void(const std::filesystem::path& entry)> removeAll;

    static EntryMoves system();
};

// Puts the file or folder `staged` at `destination`, which must be a sibling
// of it. An entry already at `destination` is swapped with `staged` in one
// step and then removed from `staged`'s name (a failure of that removal is
// ignored), so `destination` always holds the previous entry or the new one.
// Where the file system cannot swap, the previous entry is first renamed to
// a sibling named `backupPrefix` plus a new identifier; when `staged` cannot
// be put in place it is renamed back (a failure of that is ignored), and
// after success the backup is removed. Only between those two renames does
// the previous entry stand at its backup name. The folder is synced after
// success. On failure the error of the move is thrown and `staged` is left
// where it is: its owner removes it.
void moveIntoPlace(const std::filesystem::path& staged, const std::filesystem::path& destination,
                   std::string_view backupPrefix, const EntryMoves& moves = EntryMoves::system());

// Takes an exclusive lock (flock) on a folder, held until the returned
// descriptor closes: the mark of a save still working in it. Throws
// std::system_error when the folder cannot be opened or locked.
FileDescriptor lockFolder(const std::filesystem::path& folder);

// A new, empty folder hiddenSibling(destination, prefix), held locked
// (flock) while its owner works in it: the mark removeAbandonedSiblings()
// respects. The owner removes it and then lets go of the lock. Throws
// std::system_error when the folder cannot be made or locked.
struct LockedFolder {
    std::filesystem::path path;
    FileDescriptor lock;

    static LockedFolder create(const std::filesystem::path& destination, std::string_view prefix);
};

// A new, empty file beside a destination, held locked (flock) while its
// writer works on it: the mark of a writer still at work, which
// removeAbandonedSiblings() respects. It is removed when the object goes away
// unless it was moved into place. One thread at a time.
class LockedFile {
public:
    // Creates hiddenSibling(destination, prefix) with `suffix` added, with
    // `mode` less the umask. Throws std::system_error naming `destination`
    // when the file cannot be made.
    static LockedFile create(const std::filesystem::path& destination, std::string_view prefix,
                             std::string_view suffix = {}, unsigned mode = 0666);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    int fd() const { return fd_.get(); }

    // Renames the file over `destination`, still locked, so that no sweep
    // takes it on the way; throws std::system_error naming `destination`.
    void moveTo(const std::filesystem::path& destination);

private:
    LockedFile(std::filesystem::path path, FileDescriptor fd) : path_(std::move(path)), fd_(std::move(fd)) { }

    std::filesystem::path path_;
    FileDescriptor fd_;
    bool placed_ = false;
};

// Which entries removeAbandonedSiblings() may take: any (a save's work folder)
// or only regular files (a writer's temporary file, in a folder whose
// other entries are the user's).
enum class SiblingKind { Any, File };

// Removes the entries beside `destination` whose names are `name`'s and
// that nobody holds locked (see lockFolder, LockedFile): what a
// writer that was killed left behind. Each is locked while it is removed, and
// only when its name still leads to the entry locked. Best effort: an entry
// that cannot be removed stays.
void removeAbandonedSiblings(const std::filesystem::path& destination, WorkName name,
                             SiblingKind kind = SiblingKind::Any) noexcept;

} // namespace zanto
