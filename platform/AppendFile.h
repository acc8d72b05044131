#pragma once

#include <string>

namespace vidlume::platform {

/// Adds bytes at the end of a file, creating it (readable by its owner
/// alone) when missing; the rest of the file is never rewritten. Returns 0 or
/// the system error code.
int appendToFile(const std::string& path, const std::string& bytes);

} // namespace vidlume::platform
