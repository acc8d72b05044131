#pragma once

#include "platform/OwnerLock.h"
#include "publish/ClaimNewFolder.h"

#include <string>

namespace vidlume {

/// A generation's folder while it is filled: a hidden folder in the output
/// folder (".holiday.vidlume-making-1"), with a lock file beside it that its
/// program holds while it runs. Only when it is whole does it get its final
/// name, in one rename: a folder under a final name is always complete, and
/// one that a killed program left is removed by the next generation into the
/// same output folder (removeUnfinishedFolders).
class UnfinishedFolder
{
public:
    UnfinishedFolder() = default;
    UnfinishedFolder(const UnfinishedFolder&) = delete;
    UnfinishedFolder& operator=(const UnfinishedFolder&) = delete;
    /// Removes the folder and what is in it unless it was committed.
    ~UnfinishedFolder();

    /// Makes the hidden folder for a final name base (a path in the output
    /// folder). Returns 0 or the system error; failed then names what could
    /// not be made.
    int begin(const std::string& base, std::string& failed);

    const std::string& path() const { return m_path; }

    /// Gives the folder the first free name of base's sequence (base,
    /// base_(new), ...), never replacing anything; a name that another
    /// program takes meanwhile is passed over.
    ClaimedFolder commit();

    /// Removes the folder and everything in it.
    void abandon();

private:
    std::string m_base;
    std::string m_path;
    platform::OwnerLock m_lock;
};

/// Removes, directly in parent, the hidden folders of generations whose
/// program ended before they were whole, and their lock files; those of
/// running programs are left alone. Returns how many folders it removed.
int removeUnfinishedFolders(const std::string& parent);

/// Whether name (without its folder) is that of an unfinished folder or of its lock file.
bool isUnfinishedFolderName(const std::string& name);

} // namespace vidlume
