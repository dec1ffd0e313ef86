#pragma once
#include <unistd.h>

#include <utility>

namespace zanto {

// Owns one POSIX file descriptor and closes it when it goes away. close()
// reports the result for callers that must know the data reached the file.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) { }
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) { }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Closes now; returns 0 or -1 with errno set, as ::close does.
    int close() noexcept { return ::close(std::exchange(fd_, -1)); }

private:
    void reset() noexcept
    {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }

    int fd_ = -1;
};

} // namespace zanto
