#include "platform/LocalLinks.h"

#include "platform/win32/WinText.h"

#include <windows.h>

namespace vidlume::platform {

bool isSymbolicLink(const std::string& path)
{
    // Symbolic links and junctions alike: both lead somewhere else.
    const DWORD attributes = ::GetFileAttributesW(win32::toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::optional<std::string> resolvedPath(const std::string& path)
{
    // Opening the entry follows every link on its way; the handle then knows
    // where it ended up. Folders open too, for their attributes only.
    const HANDLE handle = ::CreateFileW(win32::toWide(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()), FILE_NAME_NORMALIZED);
    if (length >= resolved.size()) {
        resolved.resize(length);
        length = ::GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()), FILE_NAME_NORMALIZED);
    }
    ::CloseHandle(handle);
    if (length == 0 || length >= resolved.size())
        return std::nullopt;
    resolved.resize(length);
    // The answer comes in the long form: "\\?\C:\..." or "\\?\UNC\server\share\...".
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0)
        resolved.erase(0, 4);
    return win32::toUtf8(resolved);
}

} // namespace vidlume::platform
