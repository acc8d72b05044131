#pragma once

#include <windows.h>

#include <string>

namespace vidlume::winui {

/// Gives a control the name and description that screen readers announce,
/// in place of those taken from its caption. Needs COM on this thread.
void setAccessibleName(HWND control, const std::string& name, const std::string& description);

} // namespace vidlume::winui
