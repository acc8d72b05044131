#include "platform/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace vidlume::platform {

bool isConsole(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

std::size_t consoleColumns(std::FILE* stream)
{
    struct winsize size = {};
    return ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

bool writeText(std::FILE* stream, std::string_view text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written;
}

} // namespace vidlume::platform
