#pragma once

#include <windows.h>

#include <string>

namespace vidlume::winui {

/// Puts text on the clipboard as Unicode text, for owner; throws
/// vidlume::Error when the clipboard cannot be opened.
void copyTextToClipboard(HWND owner, const std::string& text);

} // namespace vidlume::winui
