#include "platform/FileTree.h"

#include "platform/win32/WinText.h"

#include <cerrno>
#include <thread>
#include <vector>
#include <windows.h>

namespace vidlume::platform {

using win32::lastErrno;
using win32::toWide;

namespace {

/// 100-nanosecond steps between 1601 and 1970.
constexpr std::int64_t epochSteps = 116444736000000000LL;

std::int64_t nanosecondsOf(const FILETIME& time)
{
    const std::int64_t steps = (std::int64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (steps - epochSteps) * 100;
}

} // namespace

EntryInfo entryInfo(const std::string& path)
{
    EntryInfo info;
    const std::wstring wide = toWide(path);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        info.error = path.empty() ? ENOENT : lastErrno();
        return info;
    }
    info.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Opened to follow a link to its target; FILE_FLAG_BACKUP_SEMANTICS opens folders too.
    const HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        info.error = lastErrno();
        return info;
    }
    BY_HANDLE_FILE_INFORMATION about{};
    const bool known = ::GetFileInformationByHandle(handle, &about) != 0;
    if (!known)
        info.error = lastErrno();
    ::CloseHandle(handle);
    if (!known)
        return info;
    info.kind = (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryInfo::Kind::Folder
                                                                     : EntryInfo::Kind::File;
    info.size = (std::uint64_t(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    info.modifiedNs = nanosecondsOf(about.ftLastWriteTime);
    info.device = about.dwVolumeSerialNumber;
    info.node = (std::uint64_t(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    return info;
}

int renameNoReplace(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target is never replaced.
    if (::MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), 0))
        return 0;
    const int error = lastErrno();
    return error == ENOENT && ::GetFileAttributesW(toWide(to).c_str()) != INVALID_FILE_ATTRIBUTES ? EEXIST : error;
}

int swapIn(const std::string& built, const std::string& target, const std::string& aside)
{
    if (::GetFileAttributesW(toWide(target).c_str()) == INVALID_FILE_ATTRIBUTES)
        return renameNoReplace(built, target);
    if (const int error = renameNoReplace(target, aside))
        return error;
    if (const int error = renameNoReplace(built, target)) {
        renameNoReplace(aside, target);
        return error;
    }
    return 0;
}

namespace {

int removeWide(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int error = lastErrno();
        return error == ENOENT ? 0 : error;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    // A link to a folder is itself a folder entry: removed, never entered.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ::DeleteFileW(path.c_str()) ? 0 : lastErrno();
    int firstError = 0;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (const int error = removeWide(path + L"\\" + name))
                    firstError = firstError ? firstError : error;
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
    }
    if (!::RemoveDirectoryW(path.c_str()) && !firstError)
        firstError = lastErrno();
    return firstError;
}

} // namespace

int removeTree(const std::string& path)
{
    return path.empty() ? 0 : removeWide(toWide(path));
}

std::string absolutePath(const std::string& path)
{
    if (path.empty())
        return path;
    const std::wstring wide = toWide(path);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD written = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (written == 0 || written >= size)
        return path;
    full.resize(written);
    return win32::toUtf8(full);
}

unsigned processorCount()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process) {
        unsigned count = 0;
        for (; process; process &= process - 1)
            ++count;
        return count;
    }
    const unsigned count = std::thread::hardware_concurrency();
    return count ? count : 1;
}

} // namespace vidlume::platform
