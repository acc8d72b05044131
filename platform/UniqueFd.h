#pragma once

#include "platform/FileIo.h"

namespace vidlume::platform {

/// Owns one C library file number and closes it when it goes out of scope.
class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { close(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    /// Closes the file held and takes fd instead.
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }

    /// Gives the file up without closing it.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

    /// Closes now and returns 0 or the error that close reported; on network
    /// file systems a failed write may only show up here.
    int close() { return closeFileNumber(release()); }

private:
    int m_fd;
};

} // namespace vidlume::platform
