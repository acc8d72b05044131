#include "platform/FileCopy.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"
#include "platform/posix/ByteMover.h"
#include "platform/posix/FileCopySupport.h"
#include "platform/posix/PendingFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume::platform {

using posix::ByteMover;
using posix::PendingFile;
using posix::sameInode;
using posix::unlimited;

namespace {

/// What a new file is given besides its bytes.
struct NewFileTraits
{
    mode_t mode = 0666;
    std::optional<timespec> modified;
};

/// Creates path as a new file that fill writes, and gives it its name once
/// fill reports success. fill returns a failed result to discard the file.
CopyResult placeNewFile(const std::string& path, const NewFileTraits& traits,
                        const std::function<CopyResult(PendingFile&)>& fill, const CopyTuning& tuning)
{
    PendingFile pending;
    if (const int error = pending.create(path, traits.mode, !tuning.namedTemporary))
        return copyFailed(CopyFailure::Destination, error);
    CopyResult result = fill(pending);
    if (!result.ok())
        return result;
    if (traits.modified) {
        const timespec times[2] = {{0, UTIME_OMIT}, *traits.modified};
        if (::futimens(pending.fd(), times) != 0)
            return copyFailed(CopyFailure::Write, errno);
    }
    if (const int error = pending.giveName(path, tuning.linkInsteadOfRename))
        return copyFailed(error == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, error);
    if (const int error = pending.close(path))
        return copyFailed(CopyFailure::Write, error);
    return result;
}

bool sameTime(const timespec& first, const timespec& second)
{
    return first.tv_sec == second.tv_sec && first.tv_nsec == second.tv_nsec;
}

} // namespace

CopyResult copyFileNoReplace(const std::string& source, const std::string& destination,
                             const CopyObserver& observer, const CopyTuning& tuning)
{
    // Non-blocking, so that opening a pipe does not wait for its writer; the
    // reads of a pipe wait in waitReadable, where a cancel is seen.
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!in.valid())
        return copyFailed(CopyFailure::Source, errno);
    struct stat before;
    if (::fstat(in.fd(), &before) != 0)
        return copyFailed(CopyFailure::Source, errno);
    if (S_ISDIR(before.st_mode))
        return copyFailed(CopyFailure::Source, EISDIR);
    // Before copying gigabytes, not only at the end: the final no-replace
    // naming still settles a race with whoever creates the name meanwhile.
    if (entryExists(destination))
        return copyFailed(CopyFailure::DestinationExists, EEXIST);

    const bool regular = S_ISREG(before.st_mode);
    NewFileTraits traits;
    // Like cp without -p: the source's permissions without the special bits,
    // less the umask (which open applies).
    traits.mode = before.st_mode & 0777;
    if (regular)
        traits.modified = before.st_mtim;

    return placeNewFile(
        destination, traits,
        [&](PendingFile& pending) {
            const std::uint64_t size = regular ? static_cast<std::uint64_t>(before.st_size) : 0;
            ByteMover mover(in.fd(), pending.fd(), regular ? size : unlimited, size, observer, tuning);
            // Pipes and devices only work with plain reads.
            const CopyMethod first =
                regular ? tuning.firstMethod.value_or(CopyMethod::Clone) : CopyMethod::ReadWrite;
            if (const int error = mover.run(first))
                return copyFailed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error);
            if (regular) {
                // A file that was written meanwhile gives a copy of neither its
                // old nor its new bytes.
                struct stat after;
                if (::fstat(in.fd(), &after) != 0)
                    return copyFailed(CopyFailure::Source, errno);
                if (mover.done() != size || after.st_size != before.st_size ||
                    !sameTime(after.st_mtim, before.st_mtim))
                    return copyFailed(CopyFailure::SourceChanged, 0);
            }
            CopyResult copied;
            copied.method = mover.method();
            copied.bytes = mover.done();
            return copied;
        },
        tuning);
}

CopyResult writeNewFileWith(const std::string& path, const NewFileWriter& writer, const CopyTuning& tuning)
{
    if (entryExists(path))
        return copyFailed(CopyFailure::DestinationExists, EEXIST);
    return placeNewFile(
        path, {},
        [&](PendingFile& pending) {
            if (const int error = writer(pending.fd(), pending.openPath()))
                return copyFailed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error);
            CopyResult written;
            struct stat info;
            if (::fstat(pending.fd(), &info) == 0)
                written.bytes = static_cast<std::uint64_t>(info.st_size);
            return written;
        },
        tuning);
}

AbandonedFiles removeAbandonedTemporaryFiles(const std::string& parent)
{
    AbandonedFiles removed;
    std::unique_ptr<DIR, int (*)(DIR*)> outer(::opendir(parent.c_str()), ::closedir);
    if (!outer)
        return removed;
    while (const dirent* entry = ::readdir(outer.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN))
            continue;
        const int folderFd =
            ::openat(::dirfd(outer.get()), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folderFd < 0)
            continue;
        std::unique_ptr<DIR, int (*)(DIR*)> inner(::fdopendir(folderFd), ::closedir);
        if (!inner) {
            ::close(folderFd);
            continue;
        }
        while (const dirent* file = ::readdir(inner.get())) {
            if (!isTemporaryName(file->d_name))
                continue;
            UniqueFd handle(
                ::openat(folderFd, file->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            struct stat opened;
            if (!handle.valid() || ::fstat(handle.fd(), &opened) != 0 || !S_ISREG(opened.st_mode))
                continue;
            // A live copy holds the lock until its file has its final name.
            if (::flock(handle.fd(), LOCK_EX | LOCK_NB) != 0)
                continue;
            // Still the same file under that name (not one that another sweep
            // removed and a new copy created since we opened it).
            struct stat named;
            if (::fstatat(folderFd, file->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
                !sameInode(named, opened))
                continue;
            if (::unlinkat(folderFd, file->d_name, 0) == 0) {
                ++removed.files;
                removed.bytes += static_cast<std::uint64_t>(opened.st_size);
            }
        }
    }
    return removed;
}

} // namespace vidlume::platform
