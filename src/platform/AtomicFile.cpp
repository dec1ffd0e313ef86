#include "platform/AtomicFile.h"

#include "platform/FileDescriptor.h"
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
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throwSystemError(errno, shownPath);
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

// Removes the hidden file unless the write went through.
struct HiddenFileGuard {
    const fs::path& path;
    bool committed = false;
    ~HiddenFileGuard()
    {
        if (!committed)
            ::unlink(path.c_str());
    }
};

} // namespace

void writeFileAtomically(const fs::path& path, std::string_view bytes)
{
    const fs::path target = absoluteEntryPath(path);
    const fs::path hidden = hiddenSibling(target, ".zanto-write-");

    FileDescriptor fd(::open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid())
        throwSystemError(errno, target);
    HiddenFileGuard guard{hidden};

    struct stat previous {};
    if (::stat(target.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
        ::fchmod(fd.get(), previous.st_mode & 07777);

    writeAll(fd.get(), bytes, target);
    if (::fsync(fd.get()) != 0)
        throwSystemError(errno, target);
    if (fd.close() != 0)
        throwSystemError(errno, target);
    if (::rename(hidden.c_str(), target.c_str()) != 0)
        throwSystemError(errno, target);
    guard.committed = true;
    syncToDisk(target.parent_path());
}

} // namespace zanto
