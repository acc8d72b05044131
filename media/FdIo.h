#pragma once

// The libraries' I/O on file descriptors that the converter opened itself:
// they never open a file or an address by name.

#include "media/LibraryHandles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vidlume::media {

/// A stretch of a file: offset and size in bytes.
struct FileSpan
{
    std::int64_t offset = 0;
    std::int64_t size = 0;
};

/// Reads one file through pread at a position of its own, so that two readers
/// (or a reader beside the muxer's writer) can share a descriptor. It may show
/// only some stretches of the file, one after the other, as if they were the
/// whole file: that is how damaged bytes are kept from the demuxer.
class FileReader
{
public:
    /// With ownsFd, the reader closes fd when it goes.
    FileReader(int fd, std::int64_t fileSize, bool ownsFd = false);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    /// From now on the file reads as these stretches, in their order.
    void showOnly(std::vector<FileSpan> spans);

    int read(std::uint8_t* buffer, int size);
    std::int64_t seek(std::int64_t offset, int whence);
    /// Where the next read starts, and the size of what is shown.
    std::int64_t position() const { return m_position; }
    std::int64_t size() const { return m_size; }

private:
    int m_fd;
    bool m_ownsFd;
    std::int64_t m_position = 0;
    std::int64_t m_size;
    std::vector<FileSpan> m_spans; ///< empty: the whole file
};

/// The demuxer's I/O on a reader, which must outlive it.
IoPtr makeReaderIo(FileReader& reader);

/// The muxer's side of the MP4's descriptor. The muxer's faststart pass opens
/// the file it writes once more, by its name, to move the index to the front:
/// the name is served from readerFd, or else from openPath.
struct Mp4Writer
{
    int fd = -1;
    std::string name;     ///< the name the muxer was given
    std::string openPath; ///< a path that opens the file being written
    int readerFd = -1;    ///< or the file, open for reading, kept by the caller
    std::int64_t position = 0;
    int error = 0; ///< the first system error of a write
};

/// The muxer's I/O on the writer, which must outlive it.
IoPtr makeWriterIo(Mp4Writer& writer);

/// io_open and io_close2 for a muxer whose I/O came from makeWriterIo: they
/// serve its second look at the file being written, and refuse anything else.
int openMp4ForReading(AVFormatContext* context, AVIOContext** io, const char* url, int flags,
                      AVDictionary** options);
int closeMp4ForReading(AVFormatContext* context, AVIOContext* io);

/// io_open for a demuxer: opens nothing at all.
int refuseToOpen(AVFormatContext* context, AVIOContext** io, const char* url, int flags,
                 AVDictionary** options);

} // namespace vidlume::media
