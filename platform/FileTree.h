#pragma once

#include <cstdint>
#include <string>

namespace vidlume::platform {

// Whole folders and what a walk through a folder tree needs to know of each
// entry: its kind, size, time and identity.

/// What one entry of the file system is.
struct EntryInfo
{
    enum class Kind
    {
        Missing, ///< no such entry, or it cannot be looked at (error says why)
        File,    ///< a plain file (or a pipe, a device: anything but a folder)
        Folder,
    };
    Kind kind = Kind::Missing;
    bool isLink = false;           ///< the entry itself is a symbolic link (kind is its target's)
    std::uint64_t size = 0;        ///< bytes, for a file
    std::int64_t modifiedNs = 0;   ///< last change of the content, nanoseconds since 1970 (UTC)
    std::uint64_t device = 0;      ///< with node: the same pair means the same file or folder
    std::uint64_t node = 0;
    int error = 0;                 ///< the system error when kind is Missing
};

/// Looks at path, following links; isLink tells whether path itself is one.
EntryInfo entryInfo(const std::string& path);

/// Gives from the name to, never replacing an entry there (EEXIST). Returns 0
/// or the system error code.
int renameNoReplace(const std::string& from, const std::string& to);

/// Puts the file or folder built at the name target. What is already at target ends
/// at aside (the caller removes it) in the same step where the system swaps
/// two names at once, else just before. Returns 0 or the system error code;
/// on an error target keeps what it had.
int swapIn(const std::string& built, const std::string& target, const std::string& aside);

/// Removes path and, for a folder, everything inside it; links are removed,
/// never followed. Returns 0 when nothing is left at path (also when there
/// was nothing), otherwise the first system error.
int removeTree(const std::string& path);

/// path made absolute against the current folder (nothing else changed:
/// links and ".." stay as written); path itself when it is absolute already.
std::string absolutePath(const std::string& path);

/// How many processors this process may run on.
unsigned processorCount();

} // namespace vidlume::platform
