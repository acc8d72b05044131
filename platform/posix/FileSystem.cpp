#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

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

bool forceDirectories(const std::string& path)
{
    std::string folder = path;
    if (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    // The root, an existing folder and an empty path need no creation.
    if (folder.empty() || directoryExists(folder))
        return true;
    const auto slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !forceDirectories(folder.substr(0, slash)))
        return false;
    return createDirectory(folder) == 0 || directoryExists(folder);
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

std::vector<std::string> directoryEntries(const std::string& path)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), ::closedir);
    if (!folder)
        return names;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
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
