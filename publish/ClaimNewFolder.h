#pragma once

#include "publish/GetUniqueDirName.h"

#include <functional>
#include <string>

namespace vidlume {

struct ClaimedFolder
{
    std::string path; ///< the folder made, or the name whose creation failed
    int error = 0;    ///< 0, or the system error that stopped the creation
};

/// Makes the new folder of a generation for base path base. It tries the name
/// that probe gives and, while some other process creates the name first,
/// the next free name of the sequence: the folder returned is always one that
/// this call created, never one that already existed. make creates a folder
/// under a name, EEXIST when the name is taken (by default an empty folder;
/// a rename puts a whole folder there).
ClaimedFolder claimNewFolder(const std::string& base,
                             const std::function<std::string(const std::string&)>& probe = GetUniqueDirName,
                             const std::function<int(const std::string&)>& make = {});

} // namespace vidlume
