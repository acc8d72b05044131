#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::platform {

/// One entry of a folder: its name as the file system's bytes.
struct DirectoryEntry
{
    std::string name;
    bool isDirectory = false; ///< a folder, or a link to one
};

/// True only for an existing folder (a plain file of that name gives false).
bool directoryExists(const std::string& path);

/// True only for an existing file that is not a folder.
bool fileExists(const std::string& path);

/// True for any existing entry: file, folder, link (even a dangling one), device.
bool entryExists(const std::string& path);

/// Creates one folder. Returns 0 on success, otherwise the system error code
/// (EEXIST when any entry of that name is already there).
int createDirectory(const std::string& path);

/// Creates a folder together with every missing folder above it.
/// True when the folder exists afterwards.
bool forceDirectories(const std::string& path);

/// The same, returning 0 when the folder exists afterwards, otherwise the
/// system error of the creation that failed (EEXIST when something that is
/// not a folder holds a name), whose path goes to failedFolder if given.
int createDirectories(const std::string& path, std::string* failedFolder = nullptr);

/// True when path (links followed) is a folder, a character or block device
/// or a socket: something that cannot be copied as a file. A missing entry,
/// a plain file and a named pipe give false.
bool isSpecialEntry(const std::string& path);

/// Removes one file (or link). Returns 0 or the system error code.
int removeFile(const std::string& path);

/// Removes an empty folder. Returns 0 or the system error code (ENOTEMPTY
/// when anything is still inside: a folder with unknown contents is kept).
int removeEmptyDirectory(const std::string& path);

/// True when both paths lead to the same existing file (links followed).
bool sameFile(const std::string& first, const std::string& second);

/// The size of an existing file in bytes, or nothing.
std::optional<std::uint64_t> fileSize(const std::string& path);

/// Reads a whole plain file of at most maxBytes into bytes. Returns 0, or the
/// system error code: EFBIG for a larger file, EINVAL for an entry that is no
/// plain file (a folder, a device, a pipe).
int readSmallFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

/// The entries of a folder without "." and "..", in no particular order, every
/// name kept byte for byte whatever its encoding; nothing when it cannot be read.
std::optional<std::vector<DirectoryEntry>> listDirectory(const std::string& path);

/// Reads a whole file into bytes. Returns 0, ENOENT when there is no such entry,
/// or another system error code (EISDIR for a folder).
int readWholeFile(const std::string& path, std::string& bytes);

/// Makes bytes the whole content of a file, creating it when missing, as far as
/// the system lets this process write it: an existing file must open for writing.
/// The new content goes to a temporary file beside the file that then takes its
/// place, keeping its permissions, so a failure leaves the old content. The file
/// is rewritten in place instead when the folder takes no new file, and when it
/// belongs to another user or has other links, which a replacement would change.
/// A link is written through. Returns 0 or the system error code.
int writeWholeFile(const std::string& path, const std::string& bytes);

/// The system's description of an error code, as the user should read it,
/// without a full stop at its end. On Windows the system's own text for the
/// Windows error behind the number, in the user's language.
std::string systemErrorText(int errorCode);

} // namespace vidlume::platform
