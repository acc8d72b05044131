#pragma once

#include <windows.h>

#include <optional>

namespace vidlume::winui {

/// The accelerator that gives command for a shortcut in the portable form
/// "Ctrl+M" or "Ctrl+Shift+S" (Ctrl, Shift and Alt before a letter or digit);
/// nothing for none or for a form this does not read.
std::optional<ACCEL> acceleratorOf(const char* shortcut, WORD command);

} // namespace vidlume::winui
