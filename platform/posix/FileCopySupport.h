#pragma once

// What the pieces of a copy on POSIX systems share (PendingFile, ByteMover and
// the public functions in FileCopy.cpp).

#include "platform/FileCopy.h"

#include <cerrno>
#include <sys/stat.h>

namespace vidlume::platform::posix {

/// Errors that say "this way of copying does not work for these two files",
/// as opposed to a real failure such as a full disk or a bad sector.
inline bool notSupportedHere(int error)
{
    switch (error) {
    case EXDEV:
    case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
    case ENOSYS:
    case EINVAL:
    case ENOTTY:
        return true;
    default:
        return false;
    }
}

inline CopyMethod nextMethod(CopyMethod method)
{
    return static_cast<CopyMethod>(static_cast<int>(method) + 1);
}

inline bool sameInode(const struct stat& first, const struct stat& second)
{
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace vidlume::platform::posix
