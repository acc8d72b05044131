#include "winui/OpenDialog_win.h"
#include "platform/win32/WinText.h"


#include <commdlg.h>

namespace vidlume::winui {

using platform::win32::toUtf8;
using platform::win32::toWide;

namespace {

/// The filter list as the dialog takes it: name, NUL, pattern, NUL, ..., NUL.
std::wstring filterText(const std::vector<form::FileFilter>& filters)
{
    std::wstring text;
    for (const auto& filter : filters) {
        text += toWide(filter.name);
        text += L'\0';
        text += toWide(filter.pattern);
        text += L'\0';
    }
    text += L'\0';
    return text;
}

} // namespace

std::optional<std::string> OpenDialog::execute(const std::vector<form::FileFilter>& filters)
{
    const std::wstring filter = filterText(filters);
    std::wstring file(32768, L'\0'); // room for a long path
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = m_filterIndex <= filters.size() ? m_filterIndex : 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = DWORD(file.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    m_filterIndex = dialog.nFilterIndex;
    file.resize(wcslen(file.c_str()));
    return toUtf8(file);
}

} // namespace vidlume::winui
