#include "platform/BesideProgram.h"

#include "platform/FileSystem.h"
#include "platform/ProgramInfo.h"

namespace vidlume::platform {

namespace {

/// The folder above programFolder, cut off rather than "..": messages then
/// name /usr/share/vidlume/..., not /usr/bin/../share/vidlume/...
std::string parentOf(const std::string& programFolder)
{
    std::string folder = programFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const auto slash = folder.rfind('/');
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

} // namespace

std::string installedFilesFolderOf(const std::string& programFolder)
{
    return parentOf(programFolder) + "/share/vidlume";
}

bool runsInstalled(const std::string& programFolder)
{
    return directoryExists(installedFilesFolderOf(programFolder));
}

std::string besideProgram(const std::string& name, const std::string& programFolder)
{
    const std::string own = programFolder + "/" + name;
    if (entryExists(own))
        return own;
    const std::string installed = installedFilesFolderOf(programFolder) + "/" + name;
    if (entryExists(installed) || runsInstalled(programFolder))
        return installed;
    return own;
}

std::string helperProgram(const std::string& name, const std::string& programFolder)
{
    const std::string own = programFolder + "/" + name;
    if (entryExists(own))
        return own;
    const std::string installed = parentOf(programFolder) + std::string(installedHelpersFolder).substr(2) + "/" + name;
    if (entryExists(installed) || runsInstalled(programFolder))
        return installed;
    return own;
}

std::string besideProgram(const std::string& name)
{
    return besideProgram(name, programFolder());
}

} // namespace vidlume::platform
