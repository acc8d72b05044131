#include "platform/DriveType.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace vidlume::platform {

namespace {

// The kernel writes blank, tab, line feed and backslash in names as "\ooo".
std::string decodeEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
            if (isOctal(text[i + 1]) && isOctal(text[i + 2]) && isOctal(text[i + 3])) {
                out += static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) |
                                         (text[i + 3] - '0'));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

// "/a//b/./c/../d/" becomes "/a/b/d"; an empty text for a relative path.
std::string normalizedAbsolute(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return {};
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part = path.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string out;
    for (const auto part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

// True when the mount point is the path or one of its folders; "/media/cd" holds
// "/media/cd/x" but not "/media/cdrom2".
bool holds(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return true;
    return path.size() >= mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

bool startsWithThenDigits(std::string_view text, std::string_view prefix)
{
    if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix)
        return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(prefix.size()), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

template <size_t N> bool isOneOf(std::string_view value, const std::array<std::string_view, N>& list)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

constexpr std::array<std::string_view, 2> discTypes{"iso9660", "udf"};
constexpr std::array<std::string_view, 14> remoteTypes{
    "nfs", "nfs4", "cifs",      "smb3",           "smbfs", "sshfs", "fuse.sshfs",
    "9p",  "ceph", "glusterfs", "fuse.glusterfs", "afs",   "ncpfs", "davfs"};
constexpr std::array<std::string_view, 2> memoryTypes{"tmpfs", "ramfs"};
constexpr std::array<std::string_view, 21> diskTypes{
    "ext2", "ext3",  "ext4",  "xfs",  "btrfs", "f2fs",    "jfs", "reiserfs", "zfs", "bcachefs", "nilfs2",
    "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk", "hfs", "hfsplus",  "ufs", "overlay"};

DriveType typeOf(const MountEntry& mount, const RemovableQuery& isRemovable)
{
    if (isOneOf(mount.fsType, discTypes) || startsWithThenDigits(mount.source, "/dev/sr") ||
        startsWithThenDigits(mount.source, "/dev/scd"))
        return DriveType::CdRom;
    if (isOneOf(mount.fsType, remoteTypes))
        return DriveType::Remote;
    if (isOneOf(mount.fsType, memoryTypes))
        return DriveType::RamDisk;
    if (isOneOf(mount.fsType, diskTypes)) {
        if (isRemovable && mount.source.rfind("/dev/", 0) == 0 && isRemovable(mount.source))
            return DriveType::Removable;
        return DriveType::Fixed;
    }
    return DriveType::Unknown;
}

std::string readFirstLine(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The kernel marks a whole disk as removable in /sys/class/block/<disk>/removable;
// a partition's entry has a "partition" file and sits inside its disk's folder.
bool sysfsSaysRemovable(const std::string& device)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path real = fs::canonical(device, error);
    if (error)
        return false;
    fs::path entry = fs::canonical(fs::path("/sys/class/block") / real.filename(), error);
    if (error)
        return false;
    if (fs::exists(entry / "partition", error))
        entry = entry.parent_path();
    return readFirstLine(entry / "removable") == "1";
}

} // namespace

std::vector<MountEntry> parseMountTable(std::string_view text)
{
    std::vector<MountEntry> mounts;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const auto fields = splitFields(text.substr(pos, end - pos));
        pos = end + 1;
        // id, parent, major:minor, root, mount point, options, optional fields, "-",
        // file system type, source, super options.
        if (fields.size() < 10)
            continue;
        const auto separator = std::find(fields.begin() + 6, fields.end(), std::string_view("-"));
        if (std::distance(separator, fields.end()) < 3)
            continue;
        mounts.push_back(
            {decodeEscapes(fields[4]), decodeEscapes(*(separator + 1)), decodeEscapes(*(separator + 2))});
    }
    return mounts;
}

DriveType driveTypeIn(std::string_view mountTable, std::string_view path, const RemovableQuery& isRemovable)
{
    const std::string target = normalizedAbsolute(path);
    if (target.empty())
        return DriveType::NoRootDir;
    const MountEntry* best = nullptr;
    size_t bestLength = 0;
    const auto mounts = parseMountTable(mountTable);
    for (const auto& mount : mounts) {
        const std::string point = normalizedAbsolute(mount.mountPoint);
        // ">=": a later mount on the same point hides the earlier one.
        if (!point.empty() && holds(point, target) && (best == nullptr || point.size() >= bestLength)) {
            best = &mount;
            bestLength = point.size();
        }
    }
    return best ? typeOf(*best, isRemovable) : DriveType::NoRootDir;
}

std::string readMountTable()
{
    // The size of a /proc file is reported as 0, so read it as a stream.
    std::ifstream in("/proc/self/mountinfo");
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

DriveType driveType(const std::string& path, std::string_view mountTable)
{
    std::string resolved = path;
    if (!path.empty()) {
        const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        if (real)
            resolved = real.get();
    }
    return driveTypeIn(mountTable, resolved, sysfsSaysRemovable);
}

DriveType driveType(const std::string& path)
{
    return driveType(path, readMountTable());
}

} // namespace vidlume::platform
