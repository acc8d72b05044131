#pragma once

#include <cstdint>
#include <string>

namespace vidlume {

/// The first of base, base + "_(new)", base + "_(new_1)", base + "_(new_2)", ...
/// under which nothing exists yet: a plain file or a link takes a name as
/// much as a folder does. Creates nothing.
std::string GetUniqueDirName(const std::string& base);

/// Name number index of that sequence: 0 is base, 1 is base + "_(new)",
/// n >= 2 is base + "_(new_" + (n - 1) + ")".
std::string uniqueDirCandidate(const std::string& base, std::uint64_t index);

/// Where name stands in the sequence of base; 0 for a name outside it.
std::uint64_t uniqueDirIndex(const std::string& base, const std::string& name);

/// The first free name of the sequence from index on.
std::string firstFreeDirName(const std::string& base, std::uint64_t index);

} // namespace vidlume
