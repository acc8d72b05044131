#include "platform/FileCopy.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume::platform {

namespace {

constexpr std::uint64_t unlimited = ~std::uint64_t{0};
constexpr std::size_t readWriteBufferBytes = 128 * 1024;

/// Errors that say "this way of copying does not work for these two files",
/// as opposed to a real failure such as a full disk or a bad sector.
bool notSupportedHere(int error)
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

CopyMethod nextMethod(CopyMethod method)
{
    return static_cast<CopyMethod>(static_cast<int>(method) + 1);
}

bool sameInode(const struct stat& first, const struct stat& second)
{
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

/// The file of one copy or write while its bytes go in: unnamed where the file
/// system allows (a kill then leaves nothing, the kernel frees it), otherwise
/// created exclusively under a hidden name beside the destination and locked
/// until it has its final name, so that removeAbandonedTemporaryFiles can tell
/// a live one from the leftover of a killed process. Discarded unless it was
/// given its final name.
class PendingFile
{
public:
    ~PendingFile()
    {
        // Removed while the lock is still held, so nobody takes the name for
        // a leftover of their own.
        if (!m_path.empty())
            ::unlink(m_path.c_str());
        m_handle.close();
    }

    /// Returns 0 or the error of the creation.
    int create(const std::string& destination, mode_t mode, bool allowUnnamed)
    {
        if (allowUnnamed && createUnnamed(destination, mode))
            return 0;
        return createNamed(destination, mode);
    }

    int fd() const { return m_handle.fd(); }

    /// Where the file can be opened again while it is written.
    std::string openPath() const { return m_unnamed ? procPath() : m_path; }

    /// Gives the file the destination's name without ever replacing an entry
    /// there. Returns 0 or the error; on success the file is no longer removed.
    int giveName(const std::string& destination, bool linkInsteadOfRename)
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

    /// Closes the named file. On network file systems a failed write may only
    /// show up here: then the file is not complete and loses its name again.
    int close(const std::string& destination)
    {
        const int error = m_handle.close();
        struct stat named;
        if (error != 0 && ::lstat(destination.c_str(), &named) == 0 && sameInode(named, m_named))
            ::unlink(destination.c_str());
        return error;
    }

private:
    std::string procPath() const { return "/proc/self/fd/" + std::to_string(fd()); }

    bool createUnnamed(const std::string& destination, mode_t mode)
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

    int createNamed(const std::string& destination, mode_t mode)
    {
        const std::string first = temporaryNameFor(destination);
        for (int attempt = 1; attempt <= 100; ++attempt) {
            std::string candidate = attempt == 1 ? first : first + "-" + std::to_string(attempt);
            const int fd =
                ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
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

    int linkUnnamed(const std::string& destination)
    {
        if (::linkat(AT_FDCWD, procPath().c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        return errno;
    }

    int renameNoReplace(const std::string& destination)
    {
        return ::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0
                   ? 0
                   : errno;
    }

    int linkThenUnlink(const std::string& destination)
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

    std::string m_path; // the hidden name, while the file has it
    bool m_unnamed = false;
    struct stat m_named = {};
    UniqueFd m_handle;
};

/// Moves the bytes of one open source into one open destination, walking the
/// chain of copy methods, reporting progress and polling for cancel.
class ByteMover
{
public:
    ByteMover(int in, int out, std::uint64_t limit, std::uint64_t total, const CopyObserver& observer,
              const CopyTuning& tuning)
        : m_in(in), m_out(out), m_limit(limit), m_total(total), m_observer(observer), m_tuning(tuning)
    {
        m_maxChunk = std::max<std::uint64_t>(1, tuning.maxChunkBytes);
        m_minChunk = std::min<std::uint64_t>(m_maxChunk, 1u << 20);
        m_chunk = std::min<std::uint64_t>(m_maxChunk, 8u << 20);
    }

    /// Returns 0, ECANCELED, or the error that stopped the copy.
    int run(CopyMethod method)
    {
        if (cancelled())
            return ECANCELED;
        m_method = method;
        if (m_method == CopyMethod::Clone) {
            if (::ioctl(m_out, FICLONE, m_in) == 0) {
                m_done = m_limit;
                report();
                return 0;
            }
            if (!notSupportedHere(errno))
                return errno;
            m_method = nextMethod(m_method);
        }
        for (;;) {
            const std::uint64_t want = std::min(m_chunk, m_limit - m_done);
            if (want == 0)
                return 0;
            const auto started = std::chrono::steady_clock::now();
            const ssize_t moved = moveChunk(want);
            if (moved < 0) {
                const int error = static_cast<int>(-moved);
                // A signal: the moment to look whether it asked us to stop.
                if (error == EINTR) {
                    if (cancelled())
                        return ECANCELED;
                    continue;
                }
                if (m_method != CopyMethod::ReadWrite && notSupportedHere(error)) {
                    m_method = nextMethod(m_method);
                    continue;
                }
                return error;
            }
            if (moved == 0) {
                // The end of the source, or an in-kernel way that quietly
                // copies nothing for this kind of file: only a plain read
                // tells the two apart.
                if (m_method == CopyMethod::ReadWrite)
                    return 0;
                m_method = nextMethod(m_method);
                continue;
            }
            m_done += static_cast<std::uint64_t>(moved);
            adaptChunk(std::chrono::steady_clock::now() - started);
            if (m_tuning.afterChunk)
                m_tuning.afterChunk(static_cast<std::uint64_t>(moved));
            report();
            if (cancelled())
                return ECANCELED;
        }
    }

    std::uint64_t done() const { return m_done; }
    CopyMethod method() const { return m_method; }

private:
    ssize_t moveChunk(std::uint64_t want)
    {
        switch (m_method) {
        case CopyMethod::CopyFileRange: {
            loff_t inOffset = static_cast<loff_t>(m_done);
            loff_t outOffset = static_cast<loff_t>(m_done);
            const ssize_t moved = ::copy_file_range(m_in, &inOffset, m_out, &outOffset, want, 0);
            return moved < 0 ? -errno : moved;
        }
        case CopyMethod::SendFile: {
            // sendfile writes at the destination's file position, which the
            // methods before it (explicit offsets) have not moved.
            if (::lseek(m_out, static_cast<off_t>(m_done), SEEK_SET) < 0)
                return -errno;
            off_t inOffset = static_cast<off_t>(m_done);
            const ssize_t moved = ::sendfile(m_out, m_in, &inOffset, want);
            return moved < 0 ? -errno : moved;
        }
        case CopyMethod::Clone:
        case CopyMethod::ReadWrite:
            break;
        }
        return readWrite(want);
    }

    ssize_t readWrite(std::uint64_t want)
    {
        if (!m_buffer)
            m_buffer = std::make_unique<char[]>(readWriteBufferBytes);
        std::uint64_t moved = 0;
        while (moved < want) {
            const auto piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(want - moved, readWriteBufferBytes));
            // A pipe has no offsets; a file is read where the chunk starts.
            if (m_limit == unlimited) {
                if (const int error = waitReadable())
                    return moved > 0 ? static_cast<ssize_t>(moved) : -error;
            }
            const ssize_t got = m_limit == unlimited ? ::read(m_in, m_buffer.get(), piece)
                                                     : ::pread(m_in, m_buffer.get(), piece,
                                                               static_cast<off_t>(m_done + moved));
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (got < 0)
                return moved > 0 ? static_cast<ssize_t>(moved) : -errno;
            if (got == 0)
                break;
            ssize_t written = 0;
            while (written < got) {
                const ssize_t put =
                    ::pwrite(m_out, m_buffer.get() + written, static_cast<std::size_t>(got - written),
                             static_cast<off_t>(m_done + moved + static_cast<std::uint64_t>(written)));
                if (put < 0) {
                    if (errno == EINTR)
                        continue;
                    return -errno;
                }
                written += put;
            }
            moved += static_cast<std::uint64_t>(got);
        }
        return static_cast<ssize_t>(moved);
    }

    /// Waits until a pipe or device has bytes, or its writer is gone, looking
    /// for a cancel every tenth of a second: a pipe whose writer never comes
    /// would otherwise hold the copy, and with it the window's Cancel, for ever.
    int waitReadable() const
    {
        pollfd ready{m_in, POLLIN, 0};
        for (;;) {
            if (cancelled())
                return ECANCELED;
            const int count = ::poll(&ready, 1, 100);
            if (count > 0)
                return 0;
            if (count < 0 && errno != EINTR)
                return errno;
        }
    }

    /// Keeps one chunk at roughly a tenth of a second, so that progress moves
    /// and a cancel is seen quickly on a slow disk as well as a fast one.
    void adaptChunk(std::chrono::steady_clock::duration took)
    {
        using std::chrono::milliseconds;
        if (took < milliseconds(40) && m_chunk < m_maxChunk)
            m_chunk = std::min(m_maxChunk, m_chunk * 2);
        else if (took > milliseconds(200) && m_chunk > m_minChunk)
            m_chunk = std::max(m_minChunk, m_chunk / 2);
    }

    void report() const
    {
        if (m_observer.onProgress)
            m_observer.onProgress(m_done, std::max(m_total, m_done));
    }

    bool cancelled() const { return m_observer.cancelRequested && m_observer.cancelRequested(); }

    int m_in;
    int m_out;
    std::uint64_t m_limit;
    std::uint64_t m_total;
    const CopyObserver& m_observer;
    const CopyTuning& m_tuning;
    CopyMethod m_method = CopyMethod::Clone;
    std::uint64_t m_done = 0;
    std::uint64_t m_chunk;
    std::uint64_t m_minChunk;
    std::uint64_t m_maxChunk;
    std::unique_ptr<char[]> m_buffer;
};

CopyResult failed(CopyFailure failure, int error)
{
    CopyResult result;
    result.failure = failure;
    result.error = error;
    return result;
}

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
        return failed(CopyFailure::Destination, error);
    CopyResult result = fill(pending);
    if (!result.ok())
        return result;
    if (traits.modified) {
        const timespec times[2] = {{0, UTIME_OMIT}, *traits.modified};
        if (::futimens(pending.fd(), times) != 0)
            return failed(CopyFailure::Write, errno);
    }
    if (const int error = pending.giveName(path, tuning.linkInsteadOfRename))
        return failed(error == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, error);
    if (const int error = pending.close(path))
        return failed(CopyFailure::Write, error);
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
        return failed(CopyFailure::Source, errno);
    struct stat before;
    if (::fstat(in.fd(), &before) != 0)
        return failed(CopyFailure::Source, errno);
    if (S_ISDIR(before.st_mode))
        return failed(CopyFailure::Source, EISDIR);
    // Before copying gigabytes, not only at the end: the final no-replace
    // naming still settles a race with whoever creates the name meanwhile.
    if (entryExists(destination))
        return failed(CopyFailure::DestinationExists, EEXIST);

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
                return failed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error);
            if (regular) {
                // A file that was written meanwhile gives a copy of neither its
                // old nor its new bytes.
                struct stat after;
                if (::fstat(in.fd(), &after) != 0)
                    return failed(CopyFailure::Source, errno);
                if (mover.done() != size || after.st_size != before.st_size ||
                    !sameTime(after.st_mtim, before.st_mtim))
                    return failed(CopyFailure::SourceChanged, 0);
            }
            CopyResult copied;
            copied.method = mover.method();
            copied.bytes = mover.done();
            return copied;
        },
        tuning);
}

CopyResult writeNewFile(const std::string& path, std::string_view bytes, const CopyTuning& tuning)
{
    return writeNewFileWith(
        path,
        [bytes](int fd, const std::string&) {
            std::size_t written = 0;
            while (written < bytes.size()) {
                const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
                if (put < 0) {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                written += static_cast<std::size_t>(put);
            }
            return 0;
        },
        tuning);
}

CopyResult writeNewFileWith(const std::string& path, const NewFileWriter& writer, const CopyTuning& tuning)
{
    if (entryExists(path))
        return failed(CopyFailure::DestinationExists, EEXIST);
    return placeNewFile(
        path, {},
        [&](PendingFile& pending) {
            if (const int error = writer(pending.fd(), pending.openPath()))
                return failed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error);
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
