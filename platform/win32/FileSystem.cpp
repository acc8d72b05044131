#include "platform/FileSystem.h"

#include "platform/win32/WinText.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <windows.h>

namespace vidlume::platform {

using win32::lastErrno;
using win32::toUtf8;
using win32::toWide;

namespace {

DWORD attributesOf(const std::string& path)
{
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(toWide(path).c_str());
}

/// A handle that is closed when it goes out of scope.
struct Handle
{
    HANDLE value = INVALID_HANDLE_VALUE;
    explicit Handle(HANDLE handle) : value(handle) {}
    ~Handle()
    {
        if (valid())
            ::CloseHandle(value);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return value != INVALID_HANDLE_VALUE && value != nullptr; }
};

int writeAll(HANDLE file, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD piece = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, piece, &written, nullptr))
            return lastErrno();
        done += written;
    }
    return 0;
}

int readAll(HANDLE file, std::string& bytes, std::size_t maxBytes)
{
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            return error == ERROR_BROKEN_PIPE ? 0 : win32::errnoFromWin32(error);
        }
        if (got == 0)
            return 0;
        if (bytes.size() + got > maxBytes)
            return EFBIG;
        bytes.append(buffer, got);
    }
}

} // namespace

bool directoryExists(const std::string& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool entryExists(const std::string& path)
{
    return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

int createDirectory(const std::string& path)
{
    return ::CreateDirectoryW(toWide(path).c_str(), nullptr) ? 0 : lastErrno();
}

bool isSpecialEntry(const std::string& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    // A device ("NUL", "COM1", "\\.\PhysicalDrive0") opens, but is no disk file.
    Handle file(::CreateFileW(toWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return false;
    const DWORD type = ::GetFileType(file.value);
    return type == FILE_TYPE_CHAR;
}

int removeFile(const std::string& path)
{
    return ::DeleteFileW(toWide(path).c_str()) ? 0 : lastErrno();
}

int removeEmptyDirectory(const std::string& path)
{
    return ::RemoveDirectoryW(toWide(path).c_str()) ? 0 : lastErrno();
}

bool sameFile(const std::string& first, const std::string& second)
{
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        Handle file(::CreateFileW(toWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file.valid() && ::GetFileInformationByHandle(file.value, &info);
    };
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return identify(first, a) && identify(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::optional<std::uint64_t> fileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !::GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::vector<DirectoryEntry>> listDirectory(const std::string& path)
{
    std::wstring pattern = toWide(path);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND && directoryExists(path)
                   ? std::optional<std::vector<DirectoryEntry>>(std::vector<DirectoryEntry>{})
                   : std::nullopt;
    std::vector<DirectoryEntry> entries;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        entries.push_back({toUtf8(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

int readWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    if (directoryExists(path))
        return EISDIR;
    Handle file(::CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return lastErrno();
    return readAll(file.value, bytes, bytes.max_size());
}

int readSmallFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    bytes.clear();
    if (directoryExists(path))
        return EINVAL;
    Handle file(::CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return lastErrno();
    if (::GetFileType(file.value) != FILE_TYPE_DISK)
        return EINVAL;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.value, &size))
        return lastErrno();
    if (std::uint64_t(size.QuadPart) > maxBytes)
        return EFBIG;
    return readAll(file.value, bytes, maxBytes);
}

int writeWholeFile(const std::string& path, const std::string& bytes)
{
    const std::wstring target = toWide(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return EISDIR;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A read-only file is not written, even by a process that could
        // (an administrator, or Wine run by root).
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return EACCES;
        // Beyond that the system says whether this process may write the file.
        Handle probe(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid())
            return lastErrno();
    } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
        return lastErrno();
    }

    // The new content goes to a temporary file beside the file, which then
    // takes its place: a failure leaves the old content.
    std::random_device random;
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + L".tmp" + std::to_wstring(random() % 1000000);
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (created == INVALID_HANDLE_VALUE) {
        // A folder that takes no new file: the file is rewritten in place.
        Handle file(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return lastErrno();
        if (!::SetEndOfFile(file.value))
            return lastErrno();
        int error = writeAll(file.value, bytes);
        if (!error && !::FlushFileBuffers(file.value))
            error = lastErrno();
        return error;
    }
    int error = 0;
    {
        Handle file(created);
        error = writeAll(file.value, bytes);
        if (!error && !::FlushFileBuffers(file.value))
            error = lastErrno();
    }
    if (!error && !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = lastErrno();
    if (error)
        ::DeleteFileW(temporary.c_str());
    return error;
}

std::string systemErrorText(int errorCode)
{
    // The system's own words for the Windows error behind the number.
    if (const unsigned long error = win32::win32ErrorFor(errorCode)) {
        if (std::string text = win32::win32ErrorText(error); !text.empty())
            return text;
    }
    // The C library here knows only the oldest codes; these come from the
    // mapping of the system's errors.
    switch (errorCode) {
    case ECANCELED:
        return "Operation canceled";
    case ENOTSUP:
        return "Operation not supported";
    default:
        return std::strerror(errorCode);
    }
}

} // namespace vidlume::platform
