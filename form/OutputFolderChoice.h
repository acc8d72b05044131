#pragma once

#include "platform/DriveType.h"

#include <optional>
#include <string>

namespace vidlume::form {

/// What the output folder chooser says when it refuses the folder on a drive of
/// this type (a CD-ROM), or nothing when such a folder may be chosen. The box is
/// captioned with the application title and carries the information icon.
std::optional<std::string> outputFolderRefusal(platform::DriveType type);

} // namespace vidlume::form
