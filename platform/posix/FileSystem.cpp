#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
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

bool forceDirectories(const std::string& path)
{
    return createDirectories(path) == 0;
}

int createDirectories(const std::string& path, std::string* failedFolder)
{
    std::string folder = path;
    if (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    // The root, an existing folder and an empty path need no creation.
    if (folder.empty() || directoryExists(folder))
        return 0;
    const auto slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int error = createDirectories(folder.substr(0, slash), failedFolder))
            return error;
    }
    const int error = createDirectory(folder);
    if (error == 0 || directoryExists(folder))
        return 0;
    if (failedFolder)
        *failedFolder = folder;
    return error;
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

std::string systemErrorText(int errorCode)
{
    return std::strerror(errorCode);
}

} // namespace vidlume::platform
