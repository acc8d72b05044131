#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vidlume {

/// A line that the converter program wrote to its standard error, as
/// publishing shows it. The H.264 encoder writes some of its complaints there
/// itself ("x264 [error]: malloc of size 4096 failed"): those are said in our
/// words, and its notes and warnings, which the conversion's own warnings
/// cover, are left out (nothing). Any other line is handed on after the
/// converter's name.
std::optional<std::string> converterErrorLine(std::string_view line);

} // namespace vidlume
