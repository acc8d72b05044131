#include "platform/AppendFile.h"

#include "platform/win32/WinText.h"

#include <algorithm>
#include <windows.h>

namespace vidlume::platform {

int appendToFile(const std::string& path, const std::string& bytes)
{
    // FILE_APPEND_DATA alone: every write lands at the end, whatever another
    // program appended meanwhile. A new file gets the folder's permissions,
    // which under the user's profile are the user's own.
    const HANDLE file = ::CreateFileW(win32::toWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return win32::lastErrno();
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!::WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr)) {
            error = win32::lastErrno();
            break;
        }
        done += wrote;
    }
    if (!::CloseHandle(file) && error == 0)
        error = win32::lastErrno();
    return error;
}

} // namespace vidlume::platform
