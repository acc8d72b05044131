#include "platform/posix/ByteMover.h"

#include "platform/posix/FileCopySupport.h"

#include <algorithm>
#include <cerrno>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <unistd.h>

namespace vidlume::platform::posix {

namespace {

constexpr std::size_t readWriteBufferBytes = 128 * 1024;

} // namespace

ByteMover::ByteMover(int in, int out, std::uint64_t limit, std::uint64_t total, const CopyObserver& observer,
                     const CopyTuning& tuning)
    : m_in(in), m_out(out), m_limit(limit), m_total(total), m_observer(observer), m_tuning(tuning)
{
    m_maxChunk = std::max<std::uint64_t>(1, tuning.maxChunkBytes);
    m_minChunk = std::min<std::uint64_t>(m_maxChunk, 1u << 20);
    m_chunk = std::min<std::uint64_t>(m_maxChunk, 8u << 20);
}

int ByteMover::run(CopyMethod method)
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

ssize_t ByteMover::moveChunk(std::uint64_t want)
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

ssize_t ByteMover::readWrite(std::uint64_t want)
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
        const ssize_t got = m_limit == unlimited
                                ? ::read(m_in, m_buffer.get(), piece)
                                : ::pread(m_in, m_buffer.get(), piece, static_cast<off_t>(m_done + moved));
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

int ByteMover::waitReadable() const
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

void ByteMover::adaptChunk(std::chrono::steady_clock::duration took)
{
    using std::chrono::milliseconds;
    if (took < milliseconds(40) && m_chunk < m_maxChunk)
        m_chunk = std::min(m_maxChunk, m_chunk * 2);
    else if (took > milliseconds(200) && m_chunk > m_minChunk)
        m_chunk = std::max(m_minChunk, m_chunk / 2);
}

void ByteMover::report() const
{
    if (m_observer.onProgress)
        m_observer.onProgress(m_done, std::max(m_total, m_done));
}

} // namespace vidlume::platform::posix
