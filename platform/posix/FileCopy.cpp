#include "platform/FileCopy.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <poll.h>
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

/// A file descriptor that is closed when it goes out of scope.
class FileHandle
{
public:
    explicit FileHandle(int fd = -1) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    /// Closes now and returns 0 or the error that close reported; on network
    /// file systems a failed write may only show up here.
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

/// The temporary file of one copy: created exclusively beside the destination,
/// removed again unless it was given its final name.
class TemporaryFile
{
public:
    ~TemporaryFile()
    {
        if (!m_path.empty()) {
            m_handle.close();
            ::unlink(m_path.c_str());
        }
    }

    /// Returns 0 or the error of the creation.
    int create(const std::string& destination)
    {
        const std::string first = temporaryNameFor(destination);
        for (int attempt = 1; attempt <= 100; ++attempt) {
            std::string candidate = attempt == 1 ? first : first + "-" + std::to_string(attempt);
            const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd >= 0) {
                m_path = std::move(candidate);
                m_handle.reset(fd);
                return 0;
            }
            // Another copy's temporary file: never touch it, take another name.
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    int fd() const { return m_handle.get(); }
    int close() { return m_handle.close(); }

    /// Gives the file the destination's name without ever replacing an entry
    /// there. Returns 0 or the error; on success the file is no longer removed.
    int moveTo(const std::string& destination, bool linkInsteadOfRename)
    {
        int error = linkInsteadOfRename ? EINVAL : renameNoReplace(destination);
        if (error != 0 && notSupportedHere(error))
            error = linkThenUnlink(destination);
        if (error == 0)
            m_path.clear();
        return error;
    }

private:
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

    std::string m_path;
    FileHandle m_handle;
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

} // namespace

std::string temporaryNameFor(const std::string& destination)
{
    const auto slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    // A name may use up the file system's 255 bytes: the temporary name keeps
    // only as much of it as leaves room for "." and ".vidlume-part" and a
    // retry's "-NNN".
    constexpr std::size_t room = 255 - 1 - 13 - 4;
    return folder + "." + name.substr(0, room) + ".vidlume-part";
}

CopyResult copyFileNoReplace(const std::string& source, const std::string& destination,
                             const CopyObserver& observer, const CopyTuning& tuning)
{
    // Non-blocking, so that opening a pipe does not wait for its writer; the
    // reads of a pipe wait in waitReadable, where a cancel is seen.
    FileHandle in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!in.valid())
        return failed(CopyFailure::Source, errno);
    struct stat info;
    if (::fstat(in.get(), &info) != 0)
        return failed(CopyFailure::Source, errno);
    if (S_ISDIR(info.st_mode))
        return failed(CopyFailure::Source, EISDIR);
    // Before copying gigabytes, not only at the end: the final no-replace
    // rename still settles a race with whoever creates the name meanwhile.
    if (entryExists(destination))
        return failed(CopyFailure::DestinationExists, EEXIST);

    TemporaryFile temporary;
    if (const int error = temporary.create(destination))
        return failed(CopyFailure::Destination, error);

    const bool regular = S_ISREG(info.st_mode);
    const std::uint64_t size = regular ? static_cast<std::uint64_t>(info.st_size) : 0;
    ByteMover mover(in.get(), temporary.fd(), regular ? size : unlimited, size, observer, tuning);
    // Pipes and devices only work with plain reads.
    const CopyMethod first = regular ? tuning.firstMethod.value_or(CopyMethod::Clone) : CopyMethod::ReadWrite;
    if (const int error = mover.run(first)) {
        return failed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error);
    }
    if (const int error = temporary.close())
        return failed(CopyFailure::Write, error);
    if (const int error = temporary.moveTo(destination, tuning.linkInsteadOfRename))
        return failed(error == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, error);

    CopyResult result;
    result.method = mover.method();
    result.bytes = mover.done();
    return result;
}

CopyResult writeNewFile(const std::string& path, std::string_view bytes, const CopyTuning& tuning)
{
    if (entryExists(path))
        return failed(CopyFailure::DestinationExists, EEXIST);
    TemporaryFile temporary;
    if (const int error = temporary.create(path))
        return failed(CopyFailure::Destination, error);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(temporary.fd(), bytes.data() + written, bytes.size() - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return failed(CopyFailure::Write, errno);
        }
        written += static_cast<std::size_t>(put);
    }
    if (const int error = temporary.close())
        return failed(CopyFailure::Write, error);
    if (const int error = temporary.moveTo(path, tuning.linkInsteadOfRename))
        return failed(error == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, error);

    CopyResult result;
    result.bytes = written;
    return result;
}

CopyResult writeNewFileWith(const std::string& path, const std::function<int(int fd)>& fill,
                            const CopyTuning& tuning)
{
    if (entryExists(path))
        return failed(CopyFailure::DestinationExists, EEXIST);
    TemporaryFile temporary;
    if (const int error = temporary.create(path))
        return failed(CopyFailure::Destination, error);
    if (const int error = fill(temporary.fd()))
        return failed(error == ECANCELED ? CopyFailure::Cancelled : CopyFailure::Write, error);
    struct stat info;
    const std::uint64_t size =
        ::fstat(temporary.fd(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    if (const int error = temporary.close())
        return failed(CopyFailure::Write, error);
    if (const int error = temporary.moveTo(path, tuning.linkInsteadOfRename))
        return failed(error == EEXIST ? CopyFailure::DestinationExists : CopyFailure::Destination, error);

    CopyResult result;
    result.bytes = size;
    return result;
}

} // namespace vidlume::platform
