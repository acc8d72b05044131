#include "platform/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vidlume::platform {

int openForReading(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

int duplicateFile(int fd)
{
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

long long readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

long long writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset)
{
    return ::pwrite(fd, buffer, size, static_cast<off_t>(offset));
}

int closeFileNumber(int fd)
{
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
}

} // namespace vidlume::platform
