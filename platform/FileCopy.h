#pragma once

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
};

struct CopyResult
{
    CopyFailure failure = CopyFailure::None;
    int error = 0;                             ///< the system error code, when there is one
    CopyMethod method = CopyMethod::ReadWrite; ///< the way that moved the last bytes
    std::uint64_t bytes = 0;                   ///< bytes placed under the destination's name

    bool ok() const { return failure == CopyFailure::None; }
};

/// Copies a file to a new destination in constant memory. The bytes go to a
/// hidden temporary file beside the destination, which gets the destination's
/// name only when it is complete and never replaces an entry of that name.
/// On any failure or cancel the temporary file is removed again and nothing
/// is left under the destination's name.
CopyResult copyFileNoReplace(const std::string& source, const std::string& destination,
                             const CopyObserver& observer = {}, const CopyTuning& tuning = {});

/// Creates a new file holding exactly bytes, the same way as a copy: complete
/// under its name or not there at all; an existing entry is never replaced.
CopyResult writeNewFile(const std::string& path, std::string_view bytes, const CopyTuning& tuning = {});

/// Creates a new file whose bytes fill writes through the descriptor it is
/// given (open for reading and writing, at offset 0), the same way as a copy:
/// the file gets its name only when fill returns 0 and the bytes are safely
/// written; an existing entry is never replaced. fill returns 0 or a system
/// error code (ECANCELED for a cancel); on any failure nothing is left.
CopyResult writeNewFileWith(const std::string& path, const std::function<int(int fd)>& fill,
                            const CopyTuning& tuning = {});

/// The name of the temporary file of a copy to destination (first attempt;
/// later attempts add a number when that name is taken).
std::string temporaryNameFor(const std::string& destination);

} // namespace vidlume::platform
