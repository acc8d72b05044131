#include "platform/posix/PendingFile.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TemporaryName.h"
#include "platform/posix/FileCopySupport.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <unistd.h>

namespace vidlume::platform::posix {

PendingFile::~PendingFile()
{
    // Removed while the lock is still held, so nobody takes the name for
    // a leftover of their own.
    if (!m_path.empty())
        ::unlink(m_path.c_str());
    m_handle.close();
}

int PendingFile::create(const std::string& destination, mode_t mode, bool allowUnnamed)
{
    if (allowUnnamed && createUnnamed(destination, mode))
        return 0;
    return createNamed(destination, mode);
}

int PendingFile::giveName(const std::string& destination, bool linkInsteadOfRename)
{
    if (::fstat(fd(), &m_named) != 0)
        return errno;
    if (m_unnamed)
        return linkUnnamed(destination);
    int error = linkInsteadOfRename ? EINVAL : renameNoReplace(destination);
    if (error != 0 && notSupportedHere(error))
        error = linkThenUnlink(destination);
    if (error == 0)
        m_path.clear();
    return error;
}

int PendingFile::close(const std::string& destination)
{
    const int error = m_handle.close();
    struct stat named;
    if (error != 0 && ::lstat(destination.c_str(), &named) == 0 && sameInode(named, m_named))
        ::unlink(destination.c_str());
    return error;
}

bool PendingFile::createUnnamed(const std::string& destination, mode_t mode)
{
    // Any failure here (a file system or kernel without unnamed files, but
    // also a missing folder) is left to the named way, which either works
    // or reports the real cause.
    const int unnamed = ::open(folderOf(destination).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (unnamed < 0)
        return false;
    m_handle.reset(unnamed);
    // The name is given by linking /proc/self/fd/N; without /proc that
    // would fail only at the end, after all the bytes were written.
    if (::access(procPath().c_str(), F_OK) != 0) {
        m_handle.close();
        return false;
    }
    m_unnamed = true;
    return true;
}

int PendingFile::createNamed(const std::string& destination, mode_t mode)
{
    const std::string first = temporaryNameFor(destination);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        std::string candidate = attempt == 1 ? first : first + "-" + std::to_string(attempt);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd < 0) {
            // Another copy's temporary file: never touch it, take another name.
            if (errno == EEXIST)
                continue;
            return errno;
        }
        UniqueFd handle(fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            continue; // a sweep took it for a leftover in the instant before the lock: it removes it
        // (A file system without locks is left unlocked: a sweep cannot
        // lock it either, and so leaves it alone.)
        struct stat own;
        struct stat named;
        if (::fstat(fd, &own) != 0 || ::lstat(candidate.c_str(), &named) != 0 || !sameInode(own, named))
            continue; // removed by a sweep before the lock: the name is not ours any more
        m_path = std::move(candidate);
        m_handle.reset(fd);
        handle.release();
        return 0;
    }
    return EEXIST;
}

int PendingFile::linkUnnamed(const std::string& destination)
{
    if (::linkat(AT_FDCWD, procPath().c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno;
}

int PendingFile::renameNoReplace(const std::string& destination)
{
    return ::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0
               ? 0
               : errno;
}

int PendingFile::linkThenUnlink(const std::string& destination)
{
    if (::link(m_path.c_str(), destination.c_str()) == 0) {
        ::unlink(m_path.c_str());
        return 0;
    }
    const int error = errno;
    if (error != EPERM && !notSupportedHere(error))
        return error;
    // A file system with neither (FAT on an old kernel): a plain rename
    // after a check. The folder is one this program just made, so nobody
    // else is expected to slip a file in between the two calls.
    if (entryExists(destination))
        return EEXIST;
    return ::rename(m_path.c_str(), destination.c_str()) == 0 ? 0 : errno;
}

} // namespace vidlume::platform::posix
