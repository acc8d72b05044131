#include "platform/FileTree.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace vidlume::platform {

EntryInfo entryInfo(const std::string& path)
{
    EntryInfo info;
    struct stat own;
    if (path.empty() || ::lstat(path.c_str(), &own) != 0) {
        info.error = path.empty() ? ENOENT : errno;
        return info;
    }
    info.isLink = S_ISLNK(own.st_mode);
    struct stat target = own;
    if (info.isLink && ::stat(path.c_str(), &target) != 0) {
        info.error = errno;
        return info;
    }
    info.kind = S_ISDIR(target.st_mode) ? EntryInfo::Kind::Folder : EntryInfo::Kind::File;
    info.size = static_cast<std::uint64_t>(target.st_size);
    info.modifiedNs = std::int64_t(target.st_mtim.tv_sec) * 1000000000 + target.st_mtim.tv_nsec;
    info.device = static_cast<std::uint64_t>(target.st_dev);
    info.node = static_cast<std::uint64_t>(target.st_ino);
    return info;
}

namespace {

#ifdef SYS_renameat2
int renameWithFlags(const std::string& from, const std::string& to, unsigned flags)
{
    return ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0 ? 0 : errno;
}
#endif

constexpr unsigned renameNoReplaceFlag = 1; // RENAME_NOREPLACE
constexpr unsigned renameExchangeFlag = 2;  // RENAME_EXCHANGE

} // namespace

int renameNoReplace(const std::string& from, const std::string& to)
{
#ifdef SYS_renameat2
    const int error = renameWithFlags(from, to, renameNoReplaceFlag);
    if (error != EINVAL && error != ENOSYS)
        return error;
#endif
    // A file system without the flag: a look first, which leaves a moment.
    struct stat info;
    if (::lstat(to.c_str(), &info) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int swapIn(const std::string& built, const std::string& target, const std::string& aside)
{
    struct stat info;
    if (::lstat(target.c_str(), &info) != 0)
        return renameNoReplace(built, target);
#ifdef SYS_renameat2
    // Both names swapped in one step: a visitor meets the old folder or the new.
    if (renameWithFlags(built, target, renameExchangeFlag) == 0)
        return ::rename(built.c_str(), aside.c_str()) == 0 ? 0 : errno;
#endif
    if (::rename(target.c_str(), aside.c_str()) != 0)
        return errno;
    if (::rename(built.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::rename(aside.c_str(), target.c_str());
        return error;
    }
    return 0;
}

namespace {

int removeInside(int folderFd)
{
    std::unique_ptr<DIR, int (*)(DIR*)> folder(::fdopendir(folderFd), ::closedir);
    if (!folder) {
        const int error = errno;
        ::close(folderFd);
        return error;
    }
    int firstError = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (::unlinkat(::dirfd(folder.get()), name.c_str(), 0) == 0 || errno == ENOENT)
            continue;
        if (errno != EISDIR && errno != EPERM) {
            firstError = firstError ? firstError : errno;
            continue;
        }
        const int inner = ::openat(::dirfd(folder.get()), name.c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int error = inner < 0 ? errno : removeInside(inner);
        if (error == 0 && ::unlinkat(::dirfd(folder.get()), name.c_str(), AT_REMOVEDIR) != 0)
            error = errno;
        if (error)
            firstError = firstError ? firstError : error;
    }
    return firstError;
}

} // namespace

int removeTree(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    if (!S_ISDIR(info.st_mode))
        return ::unlink(path.c_str()) == 0 ? 0 : errno;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (const int error = removeInside(fd))
        return error;
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    std::string folder(4096, '\0');
    while (!::getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE)
            return path;
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    return folder == "/" ? "/" + path : folder + "/" + path;
}

unsigned processorCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    const unsigned count = std::thread::hardware_concurrency();
    return count ? count : 1;
}

} // namespace vidlume::platform
