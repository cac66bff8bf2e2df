#pragma once

// A POSIX file descriptor closed at the end of its scope; it can be handed
// on (moved), never shared.

#include <cerrno>
#include <unistd.h>

namespace quelvo::platform {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { Reset(-1); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Takes `fd` in place of the current one; errno stays as the open left it.
    void Reset(int fd)
    {
        const int saved = errno;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
        errno = saved;
    }
    // Hands the descriptor over; this one holds none afterwards.
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

}  // namespace quelvo::platform
