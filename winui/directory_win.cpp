#include "winui/directory_win.h"

#include "form/OutputFolderChoice.h"
#include "platform/DriveType.h"
#include "platform/win32/WinText.h"
#include "winui/MessageBoxes_win.h"

#include <shlobj.h>

#include <optional>

TfmDirectory* fmDirectory = nullptr;

namespace {

using vidlume::platform::win32::toUtf8;
using vidlume::platform::win32::toWide;

/// The file-system path of a shell item; empty for places that are no folder.
std::string pathOf(PCIDLIST_ABSOLUTE item)
{
    std::wstring path(MAX_PATH * 8, L'\0');
    if (!item ||
        !SHGetPathFromIDListEx(item, path.data(), DWORD(path.size()), 0 /* the plain file-system path */))
        return {};
    path.resize(wcslen(path.c_str()));
    return toUtf8(path);
}

std::optional<std::string> refusalOf(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    return vidlume::form::outputFolderRefusal(vidlume::platform::driveType(path));
}

} // namespace

int CALLBACK TfmDirectory::browseCallback(HWND dialog, UINT message, LPARAM param, LPARAM self)
{
    auto* chooser = reinterpret_cast<TfmDirectory*>(self);
    if (message == BFFM_INITIALIZED) {
        SetWindowTextW(dialog, L"Browse");
        const std::wstring start = toWide(chooser->m_openAt);
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
    } else if (message == BFFM_SELCHANGED) {
        // OK stays on for a CD-ROM folder, so that choosing one shows why it is
        // refused; the chooser then opens again at the last folder it took.
        const std::string path = pathOf(reinterpret_cast<PCIDLIST_ABSOLUTE>(param));
        if (!path.empty() && !refusalOf(path))
            chooser->m_openAt = path;
    }
    return 0;
}

void TfmDirectory::exec(HWND owner)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring prompt = L"Please select an output directory:";
    m_openAt = m_startFolder;
    for (;;) {
        BROWSEINFOW browse{};
        browse.hwndOwner = owner;
        browse.pidlRoot = nullptr; // the desktop
        browse.lpszTitle = prompt.c_str();
        browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS;
        browse.lpfn = &TfmDirectory::browseCallback;
        browse.lParam = reinterpret_cast<LPARAM>(this);
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
        if (!chosen) {
            SelectedDir.clear(); // Cancel or the close box
            break;
        }
        SelectedDir = pathOf(chosen);
        CoTaskMemFree(chosen);
        const auto refusal = refusalOf(SelectedDir);
        if (!refusal)
            break;
        SelectedDir.clear();
        vidlume::winui::showInformationBox(owner, *refusal);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}
