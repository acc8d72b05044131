#pragma once

#include <optional>
#include <string>

namespace vidlume::platform {

/// True when path itself is a symbolic link (it is not followed).
bool isSymbolicLink(const std::string& path);

/// The absolute path of an existing entry with every link resolved; nothing
/// when it or a link on its way does not exist.
std::optional<std::string> resolvedPath(const std::string& path);

} // namespace vidlume::platform
