#pragma once

#include <string>

namespace vidlume {

/// The first of base, base + "_(new)", base + "_(new_1)", base + "_(new_2)", ...
/// under which nothing exists yet. Creates nothing.
std::string GetUniqueDirName(const std::string& base);

} // namespace vidlume
