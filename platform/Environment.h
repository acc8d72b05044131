#pragma once

#include <string>

namespace vidlume::platform {

/// The value of an environment variable; empty when it is not set.
std::string environmentValue(const char* name);

/// The user's profile folder as the environment gives it (HOME here,
/// USERPROFILE on Windows); empty when the variable is not set.
std::string userProfileFolder();

/// A file in the user's SSH folder, as OpenSSH keeps it: ~/.ssh/NAME, on
/// Windows %USERPROFILE%\.ssh\NAME. Empty when there is no profile folder.
std::string userSshFile(const std::string& name);

/// The name the user logged in to this computer with ($USER or $LOGNAME;
/// %USERNAME% on Windows); empty when the environment does not say.
std::string loginName();

/// Whether an SSH agent may be running for this user: SSH_AUTH_SOCK is set
/// here; on Windows always (Pageant and the agent of Windows' OpenSSH are
/// found without a variable, and a missing one is told at once).
bool sshAgentMayRun();

/// The folder for the user's settings of every program: $XDG_CONFIG_HOME when
/// it is an absolute path, otherwise the profile folder followed by "/.config";
/// on Windows %APPDATA%.
std::string userConfigFolder();

/// The folder inside userConfigFolder() that holds an installed program's settings file.
#ifdef _WIN32
inline constexpr const char* settingsFolderName = "Vidlume";
#else
inline constexpr const char* settingsFolderName = "vidlume";
#endif

} // namespace vidlume::platform
