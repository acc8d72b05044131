#pragma once

#include <string>

namespace vidlume {

/// An error's text as the general error report shows it: a "." is added when
/// the last character sorts after "." in character code order.
std::string errorReportText(const std::string& text);

} // namespace vidlume
