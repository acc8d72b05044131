#include "platform/Console.h"

#include "platform/win32/WinText.h"

#include <algorithm>
#include <cerrno>
#include <io.h>
#include <windows.h>

namespace vidlume::platform {

namespace {

/// The console behind stream, or nothing when it leads elsewhere (a file, a
/// pipe, the NUL device) or nowhere (a stream that was never opened).
HANDLE consoleOf(std::FILE* stream)
{
    const int fd = ::_fileno(stream);
    if (fd < 0)
        return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}

} // namespace

bool isConsole(std::FILE* stream)
{
    return consoleOf(stream) != nullptr;
}

std::size_t consoleColumns(std::FILE* stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE console = consoleOf(stream);
    if (console && ::GetConsoleScreenBufferInfo(console, &info) && info.srWindow.Right > info.srWindow.Left)
        return std::size_t(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

bool writeText(std::FILE* stream, std::string_view text)
{
    const HANDLE console = consoleOf(stream);
    if (!console) {
        const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
        return std::fflush(stream) == 0 && written;
    }
    // What the stream still holds goes first.
    std::fflush(stream);
    const std::wstring wide = win32::toWide(text);
    for (std::size_t done = 0; done < wide.size();) {
        DWORD piece = DWORD(std::min<std::size_t>(wide.size() - done, 8192));
        // A character of two UTF-16 units is never cut in two.
        if (done + piece < wide.size() && piece > 1 && IS_HIGH_SURROGATE(wide[done + piece - 1]))
            --piece;
        DWORD written = 0;
        if (!::WriteConsoleW(console, wide.data() + done, piece, &written, nullptr) || written == 0) {
            errno = win32::lastErrno();
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace vidlume::platform
