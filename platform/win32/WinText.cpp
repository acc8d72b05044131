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

namespace {

thread_local unsigned long lastMappedError = 0;

int errnoOf(unsigned long error)
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

} // namespace

int errnoFromWin32(unsigned long error)
{
    if (error != ERROR_SUCCESS)
        lastMappedError = error;
    return errnoOf(error);
}

unsigned long win32ErrorFor(int errnoValue)
{
    if (lastMappedError != 0 && errnoOf(lastMappedError) == errnoValue)
        return lastMappedError;
    // An errno value from the C library, or one that platform/ gives itself.
    switch (errnoValue) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    case EBUSY:
        return ERROR_SHARING_VIOLATION;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOTDIR:
        return ERROR_DIRECTORY;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case ECANCELED:
        return ERROR_OPERATION_ABORTED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    case EMFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    default:
        return 0;
    }
}

std::string win32ErrorText(unsigned long error)
{
    wchar_t* buffer = nullptr;
    // Language 0: the user's language, else the system's, else English.
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && std::wstring_view(L" \t\r\n.").find(text.back()) != std::wstring_view::npos)
        text.pop_back();
    return toUtf8(text);
}

int lastErrno()
{
    return errnoFromWin32(::GetLastError());
}

} // namespace vidlume::platform::win32
