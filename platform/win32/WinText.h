#pragma once

// Helpers shared by the Windows side of platform/ and the Win32 windows
// (winui/): the seam between the UTF-8 strings of the rest of the code and the
// UTF-16 of the wide-character API, and the system's error codes as the errno
// values that platform/ reports.

#include <string>
#include <string_view>
#include <vector>

namespace vidlume::platform::win32 {

/// UTF-8 to UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring toWide(std::string_view utf8);

/// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view wide);

/// A command line for CreateProcessW that hands the program exactly these
/// arguments as the C run-time and CommandLineToArgvW read them back: each
/// quoted when it holds blanks or quotes, backslashes doubled before a quote.
std::wstring commandLineOf(const std::vector<std::string>& arguments);

/// The errno value that stands for a Windows error code (GetLastError()).
int errnoFromWin32(unsigned long error);

/// errnoFromWin32(GetLastError()).
int lastErrno();

} // namespace vidlume::platform::win32
