#pragma once

#include <string>

namespace vidlume {

/// A value for the page's flashvars list, percent-encoded (%XX, upper-case hex)
/// where it would break the list or the attribute around it: "%", "&", "+", the
/// double quote, "<", ">", bytes below 0x20, 0x7F and bytes of 0x80 and above.
/// Every other byte, the space included, stands as it is.
std::string encodeFlashvarsValue(const std::string& value);

/// A value for a double-quoted HTML attribute: "&", the double quote, "<" and ">"
/// become "&amp;", "&quot;", "&lt;" and "&gt;", CR and LF "&#13;" and "&#10;".
/// Every other byte stands as it is.
std::string escapeAttributeValue(const std::string& value);

} // namespace vidlume
