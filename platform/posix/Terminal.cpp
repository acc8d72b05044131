#include "platform/Terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vidlume::platform {

bool hasTerminal()
{
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::optional<std::string> askSecret(const std::string& prompt)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    termios saved = {};
    const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ssize_t written = ::write(fd, prompt.data(), prompt.size());
    (void)written;
    std::string line;
    bool complete = false;
    char c = 0;
    // A line of a password, not a file: 4 KiB at most.
    while (line.size() < 4096) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got != 1)
            break;
        if (c == '\n') {
            complete = true;
            break;
        }
        line += c;
    }
    if (isTerminal)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    ::close(fd);
    if (!complete)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace vidlume::platform
