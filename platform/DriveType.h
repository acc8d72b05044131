#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vidlume::platform {

/// The kind of storage that holds a path, numbered as the Windows drive types.
enum class DriveType
{
    Unknown = 0,   ///< mounted, but of a kind we cannot tell
    NoRootDir = 1, ///< no mounted file system holds the path
    Removable = 2, ///< a disk that can be taken out (USB stick, memory card)
    Fixed = 3,     ///< an ordinary disk file system
    Remote = 4,    ///< a network share
    CdRom = 5,     ///< an optical disc
    RamDisk = 6,   ///< a file system in memory
};

#ifndef _WIN32
/// One line of the kernel's mount table.
struct MountEntry
{
    std::string mountPoint; ///< where it is mounted, escapes decoded
    std::string fsType;     ///< file system type, e.g. "ext4", "iso9660", "fuse.sshfs"
    std::string source;     ///< mount source, e.g. "/dev/sr0" or "server:/share"
};

/// Parses the text of /proc/self/mountinfo. Octal escapes ("\040" for a blank)
/// are decoded; lines that do not have the expected shape are skipped.
std::vector<MountEntry> parseMountTable(std::string_view text);

/// Answers whether a block device ("/dev/sdb1") holds removable media.
using RemovableQuery = std::function<bool(const std::string& device)>;

/// The drive type of an absolute path, looked up in a mount table text: the mount
/// with the longest mount point that contains the path (a later mount on the same
/// point hides an earlier one). The path is taken as written: links are not followed.
/// Without a removable query no disk counts as removable.
DriveType driveTypeIn(std::string_view mountTable, std::string_view path,
                      const RemovableQuery& isRemovable = {});

/// The text of the running system's mount table; empty when it cannot be read.
std::string readMountTable();

/// The drive type of a path on the running system, looked up in the given mount
/// table text. Symbolic links in the path are followed first, so a link into a
/// disc counts as the disc.
DriveType driveType(const std::string& path, std::string_view mountTable);

#endif

/// The drive type of a path on the running system (on Windows, of the volume
/// that holds it, as GetDriveTypeW tells).
DriveType driveType(const std::string& path);

} // namespace vidlume::platform
