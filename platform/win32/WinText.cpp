#include "platform/win32/WinText.h"

#include <cerrno>
#include <windows.h>

namespace vidlume::platform::win32 {

std::wstring toWide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

namespace {

std::wstring quoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

} // namespace

std::wstring commandLineOf(const std::vector<std::string>& arguments)
{
    std::wstring line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? L"" : L" ") + quoteArgument(toWide(argument));
    return line;
}

int errnoFromWin32(unsigned long error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NOT_READY:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_REQUEST_ABORTED:
    case ERROR_OPERATION_ABORTED:
        return ECANCELED;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_COMMITMENT_LIMIT:
        return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return ENOTSUP;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
        return EINVAL;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    default:
        return EIO;
    }
}

int lastErrno()
{
    return errnoFromWin32(::GetLastError());
}

} // namespace vidlume::platform::win32
