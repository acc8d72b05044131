#pragma once

#include "app/SettingsFile.h"

#include <functional>
#include <string>

namespace vidlume {

/// The default output folder: the user's profile folder followed by "vidlume"
/// ("/vidlume" when the profile folder is empty).
std::string defaultOutputFolder(const std::string& profileFolder);

/// Makes sure the output folder exists when the main window is shown. When it is
/// missing and cannot be created with its parents, shows the warning, tries once
/// more to create the default folder (result not checked) and records the default
/// folder as OutPutDir in section settings of the settings file.
/// Throws Error when the settings file cannot be written.
void ensureOutputFolder(const std::string& folder, const std::string& profileFolder,
                        const SettingsFile& settings,
                        const std::function<void(const std::string& warning)>& showWarning);

} // namespace vidlume
