#pragma once

// Small pieces shared by the Linux service files.

#include <cerrno>
#include <system_error>
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
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace tessaro::os
