#pragma once

#include <string>

namespace vidlume::platform {

/// The value of an environment variable; empty when it is not set.
std::string environmentValue(const char* name);

/// The user's profile folder as the environment gives it (HOME here,
/// USERPROFILE on Windows); empty when the variable is not set.
std::string userProfileFolder();

/// The folder for the user's settings of every program: $XDG_CONFIG_HOME when
/// it is an absolute path, otherwise the profile folder followed by "/.config".
std::string userConfigFolder();

} // namespace vidlume::platform
