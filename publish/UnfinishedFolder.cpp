#include "publish/UnfinishedFolder.h"

#include "page/PathNames.h"
#include "platform/FileSystem.h"
#include "platform/FileTree.h"

#include <cctype>
#include <cerrno>

namespace vidlume {

namespace {

constexpr std::string_view marker = ".vidlume-making-";
constexpr std::string_view lockEnding = ".lock";

/// The folder of path, without the separator.
std::string folderOf(const std::string& path)
{
    const std::string name = fileNameOf(path);
    return path.substr(0, path.size() - name.size());
}

/// Whether name is ".STEM.vidlume-making-N".
bool isFolderName(std::string_view name)
{
    if (name.size() < 2 || name.front() != '.')
        return false;
    const std::size_t at = name.rfind(marker);
    if (at == std::string_view::npos || at < 1)
        return false;
    const std::string_view number = name.substr(at + marker.size());
    if (number.empty() || number.size() > 9)
        return false;
    for (const char c : number)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

bool isUnfinishedFolderName(const std::string& name)
{
    std::string_view view = name;
    if (view.size() > lockEnding.size() && view.substr(view.size() - lockEnding.size()) == lockEnding)
        view.remove_suffix(lockEnding.size());
    return isFolderName(view);
}

UnfinishedFolder::~UnfinishedFolder()
{
    abandon();
}

int UnfinishedFolder::begin(const std::string& base, std::string& failed)
{
    const std::string stem = "." + fileNameOf(base) + std::string(marker);
    const std::string parent = folderOf(base);
    for (int number = 1; number <= 10000; ++number) {
        const std::string path = parent + stem + std::to_string(number);
        const int locked = m_lock.create(path + std::string(lockEnding));
        if (locked == EEXIST)
            continue; // another generation's, running or left behind
        if (locked != 0) {
            failed = base; // what the user asked for, not our hidden name
            return locked;
        }
        // A folder of that name without its lock was left by a program that
        // ended half-way through its own sweep: the lock makes it ours.
        platform::removeTree(path);
        if (const int error = platform::createDirectory(path)) {
            m_lock.removeAndRelease();
            failed = base;
            return error;
        }
        m_base = base;
        m_path = path;
        return 0;
    }
    failed = base;
    return EEXIST;
}

ClaimedFolder UnfinishedFolder::commit()
{
    const ClaimedFolder claimed = claimNewFolder(m_base, GetUniqueDirName, [this](const std::string& name) {
        return platform::renameNoReplace(m_path, name);
    });
    if (claimed.error == 0) {
        m_path.clear();
        m_lock.removeAndRelease();
    }
    return claimed;
}

void UnfinishedFolder::abandon()
{
    if (m_path.empty())
        return;
    platform::removeTree(m_path);
    m_path.clear();
    m_lock.removeAndRelease();
}

int removeUnfinishedFolders(const std::string& parent)
{
    const auto entries = platform::listDirectory(parent);
    if (!entries)
        return 0;
    int removed = 0;
    for (const platform::DirectoryEntry& entry : *entries) {
        if (!isUnfinishedFolderName(entry.name))
            continue;
        std::string folder = childPath(parent, entry.name);
        if (!isFolderName(entry.name))
            folder.resize(folder.size() - lockEnding.size());
        const std::string lockPath = folder + std::string(lockEnding);
        platform::OwnerLock lock;
        // A lock that nobody holds, or none at all (taken by creating it, so
        // that a generation starting now under that name is not swept away).
        if (!lock.takeAbandoned(lockPath) && lock.create(lockPath) != 0)
            continue;
        if (platform::entryExists(folder) && platform::removeTree(folder) == 0)
            ++removed;
        lock.removeAndRelease();
    }
    return removed;
}

} // namespace vidlume
