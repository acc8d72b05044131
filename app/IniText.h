#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vidlume {

/// The text of a settings (INI) file after writing key=value into section, as the
/// Windows profile write does it: the section and key are added when missing, an
/// existing value is replaced, every other line stays as it was, and section and
/// key names match without regard to case. New lines use the text's own line
/// break (CR LF when it has one, LF otherwise).
std::string setIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

/// The value of key in section as the Windows profile read finds it: the
/// first section of that name, names matched without regard to case, the
/// value without blanks around it (and without one pair of quotes around
/// it). Nothing when the section or key is missing.
std::optional<std::string> iniValue(std::string_view text, std::string_view section, std::string_view key);

} // namespace vidlume
