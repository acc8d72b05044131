#include "platform/FileCopy.h"

#include "platform/FileSystem.h"
#include "platform/win32/WinText.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace vidlume::platform {

using win32::lastErrno;
using win32::toWide;

// How a copy works here: CopyFileExW copies into a hidden temporary name beside
// the destination (".NAME.vidlume-part"), failing if that name exists, with a
// progress routine that reports and can cancel; the finished file then gets the
// destination's name by a rename that never replaces an entry. While the bytes
// go in, the temporary file is open without delete sharing, so a sweep
// (removeAbandonedTemporaryFiles) cannot remove a live one; a killed process's
// handles are closed by the system, and its temporary file is then removed by
// the next sweep.

namespace {

/// The temporary names of one destination, first free one first.
std::wstring temporaryCandidate(const std::string& destination, int attempt)
{
    const std::string first = temporaryNameFor(destination);
    return toWide(attempt == 1 ? first : first + "-" + std::to_string(attempt));
}

/// Gives a complete temporary file the destination's name, never replacing an entry.
int nameNoReplace(const std::wstring& temporary, const std::string& destination)
{
    if (::MoveFileExW(temporary.c_str(), toWide(destination).c_str(), MOVEFILE_WRITE_THROUGH))
        return 0;
    return lastErrno();
}

struct ProgressContext
{
    const CopyObserver* observer;
    const CopyTuning* tuning;
    std::uint64_t reported = 0;
    bool cancelled = false;
};

DWORD CALLBACK copyProgress(LARGE_INTEGER totalSize, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER,
                            DWORD, DWORD, HANDLE, HANDLE, LPVOID data)
{
    auto& context = *static_cast<ProgressContext*>(data);
    const auto done = std::uint64_t(transferred.QuadPart);
    if (context.tuning->afterChunk && done > context.reported)
        context.tuning->afterChunk(done - context.reported);
    context.reported = done;
    if (context.observer->onProgress)
        context.observer->onProgress(done, std::uint64_t(totalSize.QuadPart));
    if (context.observer->cancelRequested && context.observer->cancelRequested()) {
        context.cancelled = true;
        return PROGRESS_CANCEL;
    }
    return PROGRESS_CONTINUE;
}

bool sameStamp(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b)
{
    return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime &&
           a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime;
}

} // namespace

CopyResult copyFileNoReplace(const std::string& source, const std::string& destination,
                             const CopyObserver& observer, const CopyTuning& tuning)
{
    const std::wstring wideSource = toWide(source);
    WIN32_FILE_ATTRIBUTE_DATA before;
    if (!::GetFileAttributesExW(wideSource.c_str(), GetFileExInfoStandard, &before))
        return copyFailed(CopyFailure::Source, lastErrno());
    if (before.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return copyFailed(CopyFailure::Source, EISDIR);
    {
        // Readable at all: a failure here is the source's, not the destination's.
        const HANDLE probe = ::CreateFileW(wideSource.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE)
            return copyFailed(CopyFailure::Source, lastErrno());
        ::CloseHandle(probe);
    }
    if (entryExists(destination))
        return copyFailed(CopyFailure::DestinationExists, EEXIST);
    if (observer.cancelRequested && observer.cancelRequested())
        return copyFailed(CopyFailure::Cancelled, ECANCELED);

    ProgressContext context{&observer, &tuning};
    BOOL cancel = FALSE;
    std::wstring temporary;
    bool copied = false;
    for (int attempt = 1; attempt <= 100 && !copied; ++attempt) {
        temporary = temporaryCandidate(destination, attempt);
        context.reported = 0;
        if (::CopyFileExW(wideSource.c_str(), temporary.c_str(), copyProgress, &context, &cancel,
                          COPY_FILE_FAIL_IF_EXISTS)) {
            copied = true;
            break;
        }
        const DWORD error = ::GetLastError();
        // Another copy's temporary file: never touch it, take another name.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            continue;
        if (context.cancelled || error == ERROR_REQUEST_ABORTED)
            return copyFailed(CopyFailure::Cancelled, ECANCELED);
        const int code = win32::errnoFromWin32(error);
        return copyFailed(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == ERROR_READ_FAULT ||
                              error == ERROR_WRITE_FAULT || error == ERROR_CRC
                          ? CopyFailure::Write
                          : CopyFailure::Destination,
                      code);
    }
    if (!copied)
        return copyFailed(CopyFailure::Destination, EEXIST);

    const auto discard = [&](CopyFailure failure, int error) {
        ::DeleteFileW(temporary.c_str());
        return copyFailed(failure, error);
    };
    if (observer.cancelRequested && observer.cancelRequested())
        return discard(CopyFailure::Cancelled, ECANCELED);
    // A file that was written meanwhile gives a copy of neither its old nor its new bytes.
    WIN32_FILE_ATTRIBUTE_DATA after;
    if (!::GetFileAttributesExW(wideSource.c_str(), GetFileExInfoStandard, &after))
        return discard(CopyFailure::Source, lastErrno());
    if (!sameStamp(before, after))
        return discard(CopyFailure::SourceChanged, 0);
    WIN32_FILE_ATTRIBUTE_DATA placed;
    if (!::GetFileAttributesExW(temporary.c_str(), GetFileExInfoStandard, &placed))
        return discard(CopyFailure::Write, lastErrno());
    if (placed.nFileSizeHigh != before.nFileSizeHigh || placed.nFileSizeLow != before.nFileSizeLow)
        return discard(CopyFailure::SourceChanged, 0);
    // The copy keeps the source's modification time (set again: not every
    // CopyFileExW does), and a hidden or read-only source gives a visible,
    // writable file in the new folder.
    ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    const HANDLE stamp = ::CreateFileW(temporary.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stamp == INVALID_HANDLE_VALUE)
        return discard(CopyFailure::Write, lastErrno());
    const bool stamped = ::SetFileTime(stamp, nullptr, nullptr, &before.ftLastWriteTime);
    ::CloseHandle(stamp);
    if (!stamped)
        return discard(CopyFailure::Write, lastErrno());
    if (const int error = nameNoReplace(temporary, destination))
        return discard(error == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, error);

    CopyResult result;
    result.method = CopyMethod::ReadWrite;
    result.bytes = (std::uint64_t(before.nFileSizeHigh) << 32) | before.nFileSizeLow;
    if (observer.onProgress)
        observer.onProgress(result.bytes, result.bytes);
    return result;
}

CopyResult writeNewFileWith(const std::string& path, const NewFileWriter& writer, const CopyTuning&)
{
    if (entryExists(path))
        return copyFailed(CopyFailure::DestinationExists, EEXIST);
    std::wstring temporary;
    std::string temporaryUtf8;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 1; attempt <= 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryCandidate(path, attempt);
        // Others may open it by name to read and write (a muxer does), but
        // nobody may delete it while it is ours.
        file = ::CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return copyFailed(CopyFailure::Destination, lastErrno());
    }
    if (file == INVALID_HANDLE_VALUE)
        return copyFailed(CopyFailure::Destination, EEXIST);
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY | _O_RDWR);
    if (fd < 0) {
        ::CloseHandle(file);
        ::DeleteFileW(temporary.c_str());
        return copyFailed(CopyFailure::Destination, EMFILE);
    }
    temporaryUtf8 = win32::toUtf8(temporary);
    const int error = writer(fd, temporaryUtf8);
    CopyResult result;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size))
        result.bytes = std::uint64_t(size.QuadPart);
    const bool flushed = error != 0 || ::FlushFileBuffers(file);
    const int flushError = flushed ? 0 : lastErrno();
    ::_close(fd);
    if (error || flushError) {
        ::DeleteFileW(temporary.c_str());
        return copyFailed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error ? error : flushError);
    }
    if (const int nameError = nameNoReplace(temporary, path)) {
        ::DeleteFileW(temporary.c_str());
        return copyFailed(nameError == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, nameError);
    }
    return result;
}

AbandonedFiles removeAbandonedTemporaryFiles(const std::string& parent)
{
    AbandonedFiles removed;
    const auto folders = listDirectory(parent);
    if (!folders)
        return removed;
    for (const DirectoryEntry& folder : *folders) {
        if (!folder.isDirectory)
            continue;
        const std::string folderPath = parent + "\\" + folder.name;
        // Folders reached by a junction or a symbolic link are not entered.
        const DWORD attributes = ::GetFileAttributesW(toWide(folderPath).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const auto files = listDirectory(folderPath);
        if (!files)
            continue;
        for (const DirectoryEntry& file : *files) {
            if (file.isDirectory || !isTemporaryName(file.name))
                continue;
            // A live copy or write holds its file open without delete sharing,
            // so this open fails for it; a killed one's handles are gone.
            const std::wstring path = toWide(folderPath + "\\" + file.name);
            const HANDLE handle = ::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (handle == INVALID_HANDLE_VALUE)
                continue;
            LARGE_INTEGER size{};
            ::GetFileSizeEx(handle, &size);
            FILE_DISPOSITION_INFO disposition{TRUE};
            if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
                ++removed.files;
                removed.bytes += std::uint64_t(size.QuadPart);
            }
            ::CloseHandle(handle);
        }
    }
    return removed;
}

} // namespace vidlume::platform
