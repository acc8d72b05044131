#pragma once

#include <string>
#include <vector>

namespace vidlume {

/// The pieces of text between the occurrences of delimiter, found from the left
/// without overlap: k occurrences give k + 1 pieces, empty ones included.
/// Matching is exact and case-sensitive; an empty delimiter gives the whole text.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiter);

} // namespace vidlume
