#include "platform/OwnerLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vidlume::platform {

OwnerLock::OwnerLock(OwnerLock&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1))
{
}

OwnerLock& OwnerLock::operator=(OwnerLock&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

OwnerLock::~OwnerLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OwnerLock::held() const
{
    return m_fd >= 0;
}

int OwnerLock::create(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0)
        return errno;
    // A file system without locks leaves it unlocked: a sweep cannot lock it
    // either, and so takes it for a live one.
    ::flock(fd, LOCK_EX | LOCK_NB);
    *this = OwnerLock();
    m_path = path;
    m_fd = fd;
    return 0;
}

bool OwnerLock::takeAbandoned(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat opened;
    struct stat named;
    // Still the file of that name once locked: not one that another sweep
    // removed, and a new owner made, in between.
    const bool taken = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                       ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
                       named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
    if (!taken) {
        ::close(fd);
        return false;
    }
    *this = OwnerLock();
    m_path = path;
    m_fd = fd;
    return true;
}

void OwnerLock::removeAndRelease()
{
    if (m_fd < 0)
        return;
    ::unlink(m_path.c_str());
    ::close(std::exchange(m_fd, -1));
}

} // namespace vidlume::platform
