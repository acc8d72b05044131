#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vidlume::winui {

/// The shell's "Browse For Folder" box over owner, with this prompt: the chosen
/// folder's path, or nothing when it was cancelled or the place is no folder.
std::optional<std::string> browseForFolder(HWND owner, const std::string& prompt);

} // namespace vidlume::winui
