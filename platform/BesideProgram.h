#pragma once

#include <string>

namespace vidlume::platform {

/// Where an installed program keeps the files that lie beside it, relative to
/// the folder of its executable (bin/ next to share/vidlume/).
inline constexpr const char* installedFilesFolder = "../share/vidlume";

/// The folder that holds the files beside a program whose executable lies in
/// programFolder once it is installed: programFolder's parent followed by
/// "share/vidlume" ("/usr/bin" gives "/usr/share/vidlume").
std::string installedFilesFolderOf(const std::string& programFolder);

/// The uninstaller that the Windows installer writes beside the programs.
inline constexpr const char* installerUninstaller = "uninstall.exe";

/// True when the program whose executable lies in programFolder runs installed:
/// on Linux its installed files folder exists; on Windows it lies under Program
/// Files or the installer's uninstaller lies beside it. A build tree or a folder
/// copied as a whole is neither; the files lie in the program's own folder there.
bool runsInstalled(const std::string& programFolder);

/// Full path of the file `name` that lies beside the program: in programFolder
/// when it is there, otherwise in the installed files folder when it is there.
/// When it is in neither, the path where the program looks for it: the
/// installed files folder for an installed program, programFolder otherwise.
std::string besideProgram(const std::string& name, const std::string& programFolder);

/// besideProgram() for the running program.
std::string besideProgram(const std::string& name);

/// Where an installed program keeps the programs that only it starts,
/// relative to the folder of its executable (bin/ next to libexec/vidlume/).
inline constexpr const char* installedHelpersFolder = "../libexec/vidlume";

/// Full path of the helper program `name`: in programFolder when it is there
/// (the build folder, a folder copied as a whole), otherwise in the installed
/// helpers folder. When it is in neither, the path where it was looked for
/// last: the installed helpers folder for an installed program, programFolder
/// otherwise.
std::string helperProgram(const std::string& name, const std::string& programFolder);

} // namespace vidlume::platform
