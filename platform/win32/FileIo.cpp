#include "platform/FileIo.h"

#include "platform/win32/WinText.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace vidlume::platform {

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int failWith(int error)
{
    errno = error;
    return -1;
}

} // namespace

int openForReading(const std::string& path)
{
    // Others may go on writing, renaming or removing it meanwhile, as on POSIX.
    const HANDLE file = ::CreateFileW(win32::toWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failWith(win32::lastErrno());
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(file);
    return fd;
}

int duplicateFile(int fd)
{
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), handleOf(fd), ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return failWith(win32::lastErrno());
    const int duplicate = ::_open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_BINARY);
    if (duplicate < 0)
        ::CloseHandle(copy);
    return duplicate;
}

long long readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(handleOf(fd), buffer, DWORD(std::min<std::size_t>(size, 1u << 30)), &got, &at)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE ? 0 : failWith(win32::errnoFromWin32(error));
    }
    return got;
}

long long writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD put = 0;
    if (!::WriteFile(handleOf(fd), buffer, DWORD(std::min<std::size_t>(size, 1u << 30)), &put, &at))
        return failWith(win32::lastErrno());
    return put;
}

int closeFileNumber(int fd)
{
    return fd >= 0 && ::_close(fd) != 0 ? errno : 0;
}

} // namespace vidlume::platform
