#include "winui/FolderBrowser_win.h"

#include "platform/win32/WinText.h"

#include <shlobj.h>

#include <cwchar>

namespace vidlume::winui {

namespace {

/// The file-system path of a shell item; empty for places that are no folder.
std::string pathOf(PCIDLIST_ABSOLUTE item)
{
    std::wstring path(MAX_PATH * 8, L'\0');
    if (!item || !SHGetPathFromIDListEx(item, path.data(), DWORD(path.size()), 0))
        return {};
    path.resize(wcslen(path.c_str()));
    return platform::win32::toUtf8(path);
}

} // namespace

std::optional<std::string> browseForFolder(HWND owner, const std::string& prompt)
{
    const std::wstring title = platform::win32::toWide(prompt);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen)
        return std::nullopt;
    std::string path = pathOf(chosen);
    CoTaskMemFree(chosen);
    if (path.empty())
        return std::nullopt;
    return path;
}

} // namespace vidlume::winui
