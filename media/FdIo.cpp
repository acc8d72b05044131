#include "media/FdIo.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume::media {

namespace {

constexpr int readBufferBytes = 64 * 1024;
// The MP4 is written in large pieces: the muxer's buffer is not flushed after
// every packet, which would make a system call of a few KiB each.
constexpr int writeBufferBytes = 256 * 1024;

std::int64_t fileSizeOf(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : AVERROR(errno);
}

/// The position that a seek asks for, or an AVERROR.
std::int64_t seekTarget(std::int64_t position, std::int64_t size, std::int64_t offset, int whence)
{
    switch (whence) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += position;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    return offset < 0 ? AVERROR(EINVAL) : offset;
}

int preadFully(int fd, std::uint8_t* buffer, int size, std::int64_t offset)
{
    ssize_t got;
    do
        got = ::pread(fd, buffer, static_cast<std::size_t>(size), offset);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return AVERROR(errno);
    return static_cast<int>(got);
}

int readPacket(void* opaque, std::uint8_t* buffer, int size)
{
    return static_cast<FileReader*>(opaque)->read(buffer, size);
}

std::int64_t seekReader(void* opaque, std::int64_t offset, int whence)
{
    return static_cast<FileReader*>(opaque)->seek(offset, whence);
}

int writePacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto* writer = static_cast<Mp4Writer*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t put = ::pwrite(writer->fd, buffer + written, static_cast<std::size_t>(size - written),
                                     writer->position);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            if (writer->error == 0)
                writer->error = errno;
            return AVERROR(errno);
        }
        written += static_cast<int>(put);
        writer->position += put;
    }
    return written;
}

std::int64_t seekWriter(void* opaque, std::int64_t offset, int whence)
{
    auto* writer = static_cast<Mp4Writer*>(opaque);
    whence &= ~AVSEEK_FORCE;
    const std::int64_t size = fileSizeOf(writer->fd);
    if (whence == AVSEEK_SIZE || size < 0)
        return size;
    const std::int64_t target = seekTarget(writer->position, size, offset, whence);
    if (target >= 0)
        writer->position = target;
    return target;
}

} // namespace

FileReader::FileReader(int fd, std::int64_t fileSize, bool ownsFd) : m_fd(fd), m_ownsFd(ownsFd), m_size(fileSize)
{
}

FileReader::~FileReader()
{
    if (m_ownsFd)
        ::close(m_fd);
}

void FileReader::showOnly(std::vector<FileSpan> spans)
{
    m_spans = std::move(spans);
    m_size = 0;
    for (const FileSpan& span : m_spans)
        m_size += span.size;
    m_position = 0;
}

int FileReader::read(std::uint8_t* buffer, int size)
{
    if (m_position >= m_size)
        return AVERROR_EOF;
    std::int64_t fileOffset = m_position;
    std::int64_t left = m_size - m_position;
    if (!m_spans.empty()) {
        // The stretch that holds the position; reads stop at its end.
        std::int64_t start = 0;
        for (const FileSpan& span : m_spans) {
            if (m_position < start + span.size) {
                fileOffset = span.offset + (m_position - start);
                left = start + span.size - m_position;
                break;
            }
            start += span.size;
        }
    }
    const int got = preadFully(m_fd, buffer, static_cast<int>(std::min<std::int64_t>(size, left)), fileOffset);
    if (got == 0)
        return AVERROR_EOF;
    if (got > 0)
        m_position += got;
    return got;
}

std::int64_t FileReader::seek(std::int64_t offset, int whence)
{
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return m_size;
    const std::int64_t target = seekTarget(m_position, m_size, offset, whence);
    if (target >= 0)
        m_position = target;
    return target;
}

IoPtr makeReaderIo(FileReader& reader)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(readBufferBytes));
    if (!buffer)
        return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, readBufferBytes, 0, &reader, readPacket, nullptr, seekReader);
    if (!io)
        av_free(buffer);
    return IoPtr(io);
}

IoPtr makeWriterIo(Mp4Writer& writer)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(writeBufferBytes));
    if (!buffer)
        return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, writeBufferBytes, 1, &writer, nullptr, writePacket, seekWriter);
    if (!io)
        av_free(buffer);
    return IoPtr(io);
}

int openMp4ForReading(AVFormatContext* context, AVIOContext** io, const char* url, int flags, AVDictionary**)
{
    auto* writer = context->pb ? static_cast<Mp4Writer*>(context->pb->opaque) : nullptr;
    if (!writer || (flags & AVIO_FLAG_WRITE) || !url || writer->name != url)
        return AVERROR(EPERM);
    // The file being written is open for writing only; the caller's reader,
    // or its open path, reaches it for reading until the conversion returns.
    const int fd = writer->readerFd >= 0 ? ::fcntl(writer->readerFd, F_DUPFD_CLOEXEC, 0)
                                         : ::open(writer->openPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return AVERROR(errno);
    const std::int64_t size = fileSizeOf(fd);
    if (size < 0) {
        ::close(fd);
        return static_cast<int>(size);
    }
    auto reader = std::make_unique<FileReader>(fd, size, true);
    IoPtr readerIo = makeReaderIo(*reader);
    if (!readerIo)
        return AVERROR(ENOMEM);
    reader.release(); // closeMp4ForReading deletes it
    *io = readerIo.release();
    return 0;
}

int closeMp4ForReading(AVFormatContext*, AVIOContext* io)
{
    delete static_cast<FileReader*>(io->opaque);
    IoDeleter()(io);
    return 0;
}

int refuseToOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

} // namespace vidlume::media
