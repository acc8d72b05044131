#pragma once

#include "platform/TemporaryName.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vidlume::platform {

/// The ways of moving a file's bytes, fastest first. A copy starts with the
/// first one and moves down the list only while a way is not supported for
/// the pair of files at hand.
enum class CopyMethod
{
    Clone,         ///< share the source's blocks (reflink file systems)
    CopyFileRange, ///< in-kernel copy within one file system
    SendFile,      ///< in-kernel copy, also across file systems
    ReadWrite,     ///< a small buffer in user space: works everywhere
};

/// What a copy reports while it runs. Both may be empty.
struct CopyObserver
{
    /// Bytes of this file copied so far, and the source's size.
    std::function<void(std::uint64_t done, std::uint64_t total)> onProgress;
    /// Polled before the copy and between chunks; true stops it.
    std::function<bool()> cancelRequested;
};

/// Knobs of the copy engine. The defaults are right for users; tests use the
/// others to force a way of copying, to rename by link, or to slow a copy down.
struct CopyTuning
{
    /// Largest amount moved by one system call between two cancel points.
    std::uint64_t maxChunkBytes = 64ull << 20;
    /// Start the chain at this way instead of the fastest.
    std::optional<CopyMethod> firstMethod;
    /// Give the finished file its name by link + unlink instead of a rename.
    bool linkInsteadOfRename = false;
    /// Called after every chunk, with the bytes it moved.
    std::function<void(std::uint64_t chunkBytes)> afterChunk;
    /// Write under a hidden temporary name (locked while it is written) even
    /// where the file system offers unnamed files: what happens on FAT, NFS
    /// and other file systems without them.
    bool namedTemporary = false;
};

/// Which part of a copy or write failed.
enum class CopyFailure
{
    None,
    Cancelled,         ///< the observer asked to stop
    Source,            ///< the source could not be opened
    DestinationExists, ///< an entry of the destination's name is already there
    Destination,       ///< the destination could not be created
    Write,             ///< moving the bytes failed (disk full, unreadable sector)
    SourceChanged,     ///< the source grew, shrank or was rewritten while it was copied
};

struct CopyResult
{
    CopyFailure failure = CopyFailure::None;
    int error = 0;                             ///< the system error code, when there is one
    CopyMethod method = CopyMethod::ReadWrite; ///< the way that moved the last bytes
    std::uint64_t bytes = 0;                   ///< bytes placed under the destination's name

    bool ok() const { return failure == CopyFailure::None; }
};

/// The result of a copy or write that failed this way.
inline CopyResult copyFailed(CopyFailure failure, int error)
{
    CopyResult result;
    result.failure = failure;
    result.error = error;
    return result;
}

/// Copies a file to a new destination in constant memory. The bytes go to an
/// unnamed file in the destination's folder (a hidden temporary name on file
/// systems without unnamed files), which gets the destination's name only when
/// it is complete and never replaces an entry of that name. On any failure, on
/// a cancel and when the process is killed nothing is left under the
/// destination's name; after a kill on a file system without unnamed files
/// the hidden temporary file stays until removeAbandonedTemporaryFiles runs.
///
/// The copy keeps the source's modification time and takes its permission
/// bits less the set-user-ID, set-group-ID and sticky bits, with the umask
/// applied. A regular source whose size or modification time changes while
/// it is copied fails with SourceChanged; a pipe is copied until its end.
CopyResult copyFileNoReplace(const std::string& source, const std::string& destination,
                             const CopyObserver& observer = {}, const CopyTuning& tuning = {});

/// Creates a new file holding exactly bytes, the same way as a copy: complete
/// under its name or not there at all; an existing entry is never replaced.
CopyResult writeNewFile(const std::string& path, std::string_view bytes, const CopyTuning& tuning = {});

/// Fills a file that is still being written. fd is open for writing;
/// openPath names the same file for code that opens its output by name (a
/// muxer that reopens it to read it back or to rewrite its start), as often as
/// it likes, for reading and for writing. Returns 0 when the file is complete,
/// ECANCELED to stop, or the system error that stopped the writing.
using NewFileWriter = std::function<int(int fd, const std::string& openPath)>;

/// Creates a new file at path whose bytes writer puts in: complete under its
/// name or not there at all, even when the process is killed meanwhile. An
/// existing entry of that name is never replaced (DestinationExists). The file
/// is created with mode 0666 less the umask.
///
/// While writer runs, the file has no name in the folder: openPath is
/// "/proc/self/fd/N", which every open() of this process follows to the file
/// (O_TRUNC and O_CREAT included). On file systems without unnamed files
/// openPath is a hidden name beside path, locked against removal for as long
/// as the writer runs. Either way the name stops working when this call
/// returns, so close every handle opened by it before returning. For a
/// library that takes a URL, hand it "file:" + openPath, so that a colon in a
/// folder's name is not taken for a protocol.
///
/// Example, a converter program whose muxer reads back its output to move the
/// index to the front: it gets the file twice, to write and to read (see
/// publish/RunConverter.cpp):
///
///     CopyResult result = writeNewFileWith(folder + "/holiday.mp4", [&](int fd, const std::string& openPath) {
///         const int reader = ::open(openPath.c_str(), O_RDONLY | O_CLOEXEC);
///         ... start the converter with {video, fd, reader}, wait for it, close reader ...
///         return converted ? 0 : cancelled ? ECANCELED : EIO;
///     });
///
/// A writer's ECANCELED gives Cancelled, any other error Write.
CopyResult writeNewFileWith(const std::string& path, const NewFileWriter& writer,
                            const CopyTuning& tuning = {});

/// What removeAbandonedTemporaryFiles took away.
struct AbandonedFiles
{
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

/// Removes, in every folder directly inside parent, the hidden temporary
/// files of copies and writes whose process ended before they were complete
/// (killed, or a power cut). A temporary file that a running copy holds is
/// never touched, nor anything else in those folders; folders reached by a
/// symbolic link are not entered.
AbandonedFiles removeAbandonedTemporaryFiles(const std::string& parent);

} // namespace vidlume::platform
