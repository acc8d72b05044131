#include "platform/BesideProgram.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/ProgramInfo.h"

#include <algorithm>
#include <cctype>

namespace vidlume::platform {

namespace {

/// True when folder is base or lies inside it, letters compared without case.
bool isInside(const std::string& folder, std::string base)
{
    while (!base.empty() && (base.back() == '\\' || base.back() == '/'))
        base.pop_back();
    if (base.empty() || folder.size() < base.size())
        return false;
    const auto lower = [](unsigned char c) { return std::tolower(c); };
    if (!std::equal(base.begin(), base.end(), folder.begin(),
                    [&](char a, char b) { return lower(a) == lower(b); }))
        return false;
    return folder.size() == base.size() || folder[base.size()] == '\\' || folder[base.size()] == '/';
}

} // namespace

std::string installedFilesFolderOf(const std::string& programFolder)
{
    // The installer puts every file beside the programs.
    return programFolder;
}

bool runsInstalled(const std::string& programFolder)
{
    // Installed for every user: under Program Files, which a user cannot write.
    for (const char* variable : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
        if (isInside(programFolder, environmentValue(variable)))
            return true;
    }
    // Installed anywhere else (for one user, or to a folder the user chose): the
    // installer leaves its uninstaller beside the programs, and removes the folder
    // with everything it put there.
    return fileExists(programFolder + "\\" + installerUninstaller);
}

std::string besideProgram(const std::string& name, const std::string& programFolder)
{
    return programFolder + "\\" + name;
}

std::string helperProgram(const std::string& name, const std::string& programFolder)
{
    // Installed or not, the helpers lie beside the programs, with ".exe".
    const bool hasExtension = name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0;
    return programFolder + "\\" + name + (hasExtension ? "" : ".exe");
}

std::string besideProgram(const std::string& name)
{
    return besideProgram(name, programFolder());
}

} // namespace vidlume::platform
