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
/// The code itself is kept, the last one on each thread, for win32ErrorFor.
int errnoFromWin32(unsigned long error);

/// The Windows error code behind an errno value: the last one this thread
/// turned into that value, else the usual one for it; 0 for a value that no
/// Windows error stands for.
unsigned long win32ErrorFor(int errnoValue);

/// The system's own description of a Windows error code, in the user's
/// language, without the line break and the full stop at its end; empty when
/// the system has none.
std::string win32ErrorText(unsigned long error);

/// errnoFromWin32(GetLastError()).
int lastErrno();

} // namespace vidlume::platform::win32
