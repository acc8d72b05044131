#pragma once

#include <string>
#include <string_view>

namespace vidlume::platform {

// The hidden names under which a copy or a new file is written on file systems
// without unnamed files: ".NAME.vidlume-part" beside the destination, "-N"
// added by a retry when that name is taken.

/// The first temporary name of a copy to destination.
std::string temporaryNameFor(const std::string& destination);

/// Whether name (without its folder) is one that temporaryNameFor gives,
/// perhaps with a retry's "-N" after it.
bool isTemporaryName(std::string_view name);

} // namespace vidlume::platform
