#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume::platform {

bool directoryExists(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool fileExists(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool entryExists(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

int createDirectory(const std::string& path)
{
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

bool isSpecialEntry(const std::string& path)
{
    struct stat info;
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode);
}

int removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int removeEmptyDirectory(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

bool sameFile(const std::string& first, const std::string& second)
{
    struct stat a;
    struct stat b;
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

std::optional<std::uint64_t> fileSize(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

namespace {

/// Writes all bytes; 0 or the system error code.
int writeAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

/// Closes fd; 0 or the error that the close reported (a delayed write error).
int closeReporting(int fd)
{
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

/// The file a path leads to: a link's target, else the path itself.
std::string linkTarget(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

/// Creates a new file beside path with the given mode; -1 with errno set when
/// the folder takes no new file.
int createTemporaryBeside(const std::string& path, mode_t mode, std::string& name)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".tmp" + std::to_string(random() % 1000000);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

/// Writes bytes to a temporary file and renames it over path. 0, or the error;
/// created tells whether the temporary file could be made at all.
int replaceByRename(const std::string& path, const std::string& bytes, const struct stat* existing,
                    bool& created)
{
    std::string temporary;
    const int fd = createTemporaryBeside(path, existing ? existing->st_mode & 07777 : 0666, temporary);
    created = fd >= 0;
    if (!created)
        return errno;
    int error = writeAll(fd, bytes);
    if (!error && existing && ::fchmod(fd, existing->st_mode & 07777) != 0)
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (const int closeError = closeReporting(fd); !error)
        error = closeError;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

int rewriteInPlace(int fd, const std::string& bytes)
{
    int error = ::ftruncate(fd, 0) == 0 ? writeAll(fd, bytes) : errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    return error;
}

} // namespace

std::optional<std::vector<DirectoryEntry>> listDirectory(const std::string& path)
{
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return std::nullopt;
    std::vector<DirectoryEntry> entries;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
            isDirectory = directoryExists(path + "/" + name);
        entries.push_back({name, isDirectory});
    }
    ::closedir(folder);
    return entries;
}

int readWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    char buffer[65536];
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return error;
}

int writeWholeFile(const std::string& path, const std::string& bytes)
{
    const std::string target = linkTarget(path);
    struct stat existing;
    if (::stat(target.c_str(), &existing) != 0) {
        if (errno != ENOENT)
            return errno;
        bool created = false;
        return replaceByRename(target, bytes, nullptr, created);
    }
    if (S_ISDIR(existing.st_mode))
        return EISDIR;
    // The system, not the mode bits, says whether this process may write the file.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    int error = 0;
    bool created = false;
    const bool replaceable =
        existing.st_uid == ::geteuid() && existing.st_nlink == 1 && S_ISREG(existing.st_mode);
    if (replaceable)
        error = replaceByRename(target, bytes, &existing, created);
    if (!replaceable || !created)
        error = rewriteInPlace(fd, bytes);
    if (const int closeError = closeReporting(fd); !error)
        error = closeError;
    return error;
}

int readSmallFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    bytes.clear();
    // Non-blocking, so that a pipe of that name does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return EFBIG;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes)
            return EFBIG; // grew while being read
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string systemErrorText(int errorCode)
{
    return std::strerror(errorCode);
}

} // namespace vidlume::platform
