#pragma once

#include <string>

namespace vidlume::winui {

/// UTF-8, as the core keeps texts and paths, to the UTF-16 of the Windows API.
std::wstring wide(const std::string& text);

/// UTF-16 from the Windows API to UTF-8.
std::string narrow(const std::wstring& text);

} // namespace vidlume::winui
