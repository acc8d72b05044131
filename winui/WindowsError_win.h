#pragma once

#include <string>

namespace vidlume::winui {

/// Throws vidlume::Error: what failed, then the system's words for GetLastError().
[[noreturn]] void throwLastError(const std::string& what);

} // namespace vidlume::winui
