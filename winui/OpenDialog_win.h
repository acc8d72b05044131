#pragma once

#include "form/FileFilter.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vidlume::winui {

/// The main window's common file-open dialog: one existing file, resizable, no
/// read-only box. Like the classic dialog it opens with the filter entry at the
/// position that was selected when it was last confirmed, whatever list it shows.
class OpenDialog
{
public:
    explicit OpenDialog(HWND owner) : m_owner(owner) {}

    /// Runs the dialog with these filters and an empty name: the chosen file's
    /// full path (UTF-8), or nothing when it was cancelled.
    std::optional<std::string> execute(const std::vector<form::FileFilter>& filters);

private:
    HWND m_owner;
    DWORD m_filterIndex = 1; // 1-based, as the dialog counts
};

} // namespace vidlume::winui
