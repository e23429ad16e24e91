#pragma once

// Small pieces shared by the Linux service files.

#include <cerrno>
#include <cstddef>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace tessaro::os {

// Every failure comes back in the system category, as errno would name it, whether the
// kernel reported it or the program decided it.
inline std::error_code systemError(int code)
{
    return {code, std::system_category()};
}

inline std::error_code lastError()
{
    return systemError(errno);
}

// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// read() again when a signal interrupted it.
inline ssize_t readRetrying(int fd, void* buffer, std::size_t size)
{
    ssize_t got;
    do
        got = ::read(fd, buffer, size);
    while (got < 0 && errno == EINTR);
    return got;
}

} // namespace tessaro::os
