#include "platform/AtomicFile.h"

#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

namespace zanto {
namespace {

void writeAll(int fd, std::string_view bytes, const fs::path& shownPath)
{
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throwSystemError(errno, shownPath);
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

constexpr std::string_view hiddenPrefix = ".zanto-write-";

} // namespace

void writeFileAtomically(const fs::path& path, std::string_view bytes)
{
    const fs::path target = absoluteEntryPath(path);
    // Hidden files of writers killed in the middle, and only theirs: a live
    // writer holds its own locked.
    removeAbandonedSiblings(target, {hiddenPrefix}, SiblingKind::File);
    LockedFile hidden = LockedFile::create(target, hiddenPrefix);

    struct stat previous { };
    if (::stat(target.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
        ::fchmod(hidden.fd(), previous.st_mode & 07777);

    writeAll(hidden.fd(), bytes, target);
    if (::fsync(hidden.fd()) != 0) throwSystemError(errno, target);
    // The bytes are on the disk already: closing after the rename cannot lose them.
    hidden.moveTo(target);
    syncToDisk(target.parent_path());
}

} // namespace zanto
