#include "platform/AppendFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vidlume::platform {

int appendToFile(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return errno;
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0) {
            error = errno;
            break;
        }
        done += std::size_t(wrote);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace vidlume::platform
