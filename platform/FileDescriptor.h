#pragma once

// A POSIX file descriptor closed at the end of its scope.

#include <cerrno>
#include <unistd.h>

namespace quelvo::platform {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }
    // Takes `fd` in place of the current one; errno stays as the open left it.
    void Reset(int fd)
    {
        const int saved = errno;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
        errno = saved;
    }

private:
    int m_fd;
};

}  // namespace quelvo::platform
