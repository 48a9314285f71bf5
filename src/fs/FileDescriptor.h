#pragma once
// FileDescriptor: an open file descriptor, closed when the object goes (or earlier, by close()). Closing
// goes through SystemCalls, as every call of the file-system layer does.

#include "fs/SystemCalls.h"

#include <utility>

namespace quodrix {

class FileDescriptor {
public:
    FileDescriptor() = default;  // holds no descriptor
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            (void)systemCalls().close(m_fd);
    }
    FileDescriptor(FileDescriptor const&) = delete;
    FileDescriptor& operator=(FileDescriptor const&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) { }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                (void)systemCalls().close(m_fd);
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and tells whether that succeeded: a late write error shows here (errno tells which).
    [[nodiscard]] bool close()
    {
        int fd = std::exchange(m_fd, -1);
        return fd < 0 || systemCalls().close(fd) == 0;
    }

private:
    int m_fd = -1;
};

}
