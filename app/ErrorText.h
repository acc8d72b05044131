#pragma once

#include <string>

namespace vidlume {

/// An error's text as the general error report shows it: a "." is added when
/// the last character sorts after "." in character code order.
std::string errorReportText(const std::string& text);

/// The system's description of an error number without trailing blanks, line
/// breaks and full stops, to go inside a longer sentence ("... cannot be
/// read: No such file or directory").
std::string errorDescription(int error);

} // namespace vidlume
