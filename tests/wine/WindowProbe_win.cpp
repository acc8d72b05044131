// Reads the state of the running main window for the Wine window test, which
// drives the window itself with xdotool:
//   window-probe client  CAPTION            -> "WIDTH HEIGHT" of the client area
//   window-probe centre  CAPTION CONTROL    -> "X Y", the control's centre on screen
//   window-probe enabled CAPTION CONTROL    -> 1 or 0
//   window-probe checked CAPTION CONTROL    -> 1 or 0
//   window-probe text    CAPTION CONTROL    -> the control's text (UTF-8)
//   window-probe field   CAPTION            -> "X Y", the centre of the first edit box
//                                            of any top-level window so captioned
//   window-probe texts   CAPTION            -> the texts of its static controls, one a line
//   window-probe clipboard                  -> the clipboard's Unicode text
//   window-probe focus   CAPTION            -> the number of the control with the keyboard
//                                            focus, or -1 for none of the form's
//   window-probe colours CAPTION dark|light -> sets the system's window and text colours
//                                            to white on black or black on white, as a
//                                            colour scheme does (every window is told)
//   window-probe background CAPTION CONTROL -> "X Y", a point on screen inside the
//                                            control above its text
// CONTROL is the form's control number (form/Control.h). Of the "Publish Many
// Videos" dialog, by its child window ids (winui/SiteDialog_win.h):
//   window-probe site-controls      -> each control that Tab stops at: "ID ENABLED NAME",
//                                    the name as screen readers take it when nothing
//                                    else names it: a button's caption, else the label
//                                    just before it ("&" left out)
//   window-probe site-focus         -> the id of the control with the keyboard focus, or -1
//   window-probe site-enabled ID    -> 1 or 0
//   window-probe site-centre ID     -> "X Y", the control's centre on screen
//   window-probe site-text ID       -> the control's text
//   window-probe site-rows          -> the video list, "NAME<TAB>STATE" a line
//   window-probe site-clipped       -> each caption or text that does not fit its control,
//                                    or control outside the window, one a line: nothing
//                                    when all fit
// Of the "Upload" dialog (winui/UploadDialog_win.h) the same with "upload-" for
// "site-" (but for rows), and:
//   window-probe upload-items ID    -> the items of a drop-down list, one a line
//   window-probe upload-alt LETTER  -> Alt and that letter for the control with the focus,
//                                    as the keyboard sends them (for a display whose Alt
//                                    key Wine takes for AltGr)
// Exit status 2 when the window is not there.

#include "platform/win32/WinText.h"
#include "winui/SiteDialog_win.h"
#include "winui/UploadDialog_win.h"
#include "winui/main_win.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

/// A control's text, also of another process's control (GetWindowText would
/// give only its caption there).
std::wstring textOf(HWND control)
{
    std::wstring text(std::size_t(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(
        std::size_t(SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

struct Search
{
    const wchar_t* windowClass;
    HWND found = nullptr;
    std::wstring texts;
};

BOOL CALLBACK visitChild(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t type[64];
    GetClassNameW(child, type, 64);
    if (_wcsicmp(type, search->windowClass) != 0 || !IsWindowVisible(child))
        return TRUE;
    if (!search->found)
        search->found = child;
    const std::wstring text = textOf(child);
    if (!text.empty())
        search->texts += text + L"\n";
    return TRUE;
}

/// The first visible top-level window with this caption that has a child of this class.
Search findChild(const wchar_t* caption, const wchar_t* windowClass)
{
    Search search{windowClass, nullptr, {}};
    for (HWND window = FindWindowW(nullptr, caption); window && !search.found;
         window = FindWindowExW(nullptr, window, nullptr, caption))
        EnumChildWindows(window, visitChild, reinterpret_cast<LPARAM>(&search));
    return search;
}

std::string utf8(const std::wstring& text)
{
    return vidlume::platform::win32::toUtf8(text);
}

std::wstring withoutAccessKey(std::wstring text)
{
    if (const auto amp = text.find(L'&'); amp != std::wstring::npos)
        text.erase(amp, 1);
    return text;
}

std::wstring classOf(HWND window)
{
    wchar_t type[64] = {};
    GetClassNameW(window, type, 64);
    return type;
}

/// The name a screen reader gives a control that nothing else names.
std::wstring derivedName(HWND control)
{
    if (_wcsicmp(classOf(control).c_str(), L"Button") == 0)
        return withoutAccessKey(textOf(control));
    HWND before = GetWindow(control, GW_HWNDPREV);
    if (before && _wcsicmp(classOf(before).c_str(), L"Static") == 0)
        return withoutAccessKey(textOf(before));
    return {};
}

/// A list view's cell, read in the list's own process.
std::wstring cellOf(HWND list, int row, int column)
{
    DWORD process = 0;
    GetWindowThreadProcessId(list, &process);
    const HANDLE owner =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (!owner)
        return {};
    constexpr std::size_t room = 1024;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(owner, nullptr, sizeof(LVITEMW) + room * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    std::wstring text(room, L'\0');
    if (remote) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = int(room);
        WriteProcessMemory(owner, remote, &item, sizeof item, nullptr);
        const auto length =
            SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(owner, remote + sizeof(LVITEMW), text.data(), room * sizeof(wchar_t), nullptr);
        text.resize(std::size_t(std::max<LRESULT>(0, std::min<LRESULT>(length, LRESULT(room)))));
        VirtualFreeEx(owner, remote, 0, MEM_RELEASE);
    }
    CloseHandle(owner);
    return text;
}

struct Children
{
    std::vector<HWND> all;
};

BOOL CALLBACK collectChild(HWND child, LPARAM data)
{
    reinterpret_cast<Children*>(data)->all.push_back(child);
    return TRUE;
}

/// Whether a button's or a text's caption fits it, measured in the window's
/// font ("MS Shell Dlg" at 8 points, at the window's DPI).
bool fits(HWND control, HFONT font)
{
    const std::wstring type = classOf(control);
    const bool button = _wcsicmp(type.c_str(), L"Button") == 0;
    if (!button && _wcsicmp(type.c_str(), L"Static") != 0)
        return true;
    const std::wstring text = textOf(control);
    if (text.empty())
        return true;
    RECT place{};
    GetClientRect(control, &place);
    HDC dc = GetDC(control);
    const HGDIOBJ before = SelectObject(dc, font);
    RECT needed{0, 0, button ? 0 : place.right, 0};
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const UINT prefix = !button && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    DrawTextW(dc, text.c_str(), int(text.size()), &needed,
              DT_CALCRECT | prefix | (button ? DT_SINGLELINE : DT_WORDBREAK));
    SelectObject(dc, before);
    ReleaseDC(control, dc);
    const int margin = button ? MulDiv(8, int(GetDpiForWindow(control)), 96) : 0;
    return needed.right + margin <= place.right && needed.bottom <= place.bottom;
}

/// A question about a dialog's controls, its prefix ("site-", "upload-") taken off.
int dialogProbe(HWND dialog, const std::wstring& what, int argc, wchar_t** argv)
{
    if (!dialog || !IsWindowVisible(dialog))
        return 2;
    if (what == L"controls") {
        Children children;
        EnumChildWindows(dialog, collectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children.all)
            if (GetParent(child) == dialog && (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP))
                std::printf("%d %d %s\n", GetDlgCtrlID(child), IsWindowEnabled(child) ? 1 : 0,
                            utf8(derivedName(child)).c_str());
        return 0;
    }
    if (what == L"focus") {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread))
            return 2;
        std::printf("%d\n", thread.hwndFocus && GetParent(thread.hwndFocus) == dialog
                                ? GetDlgCtrlID(thread.hwndFocus)
                                : -1);
        return 0;
    }
    if (what == L"alt" && argc >= 3) {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread) || !thread.hwndFocus)
            return 2;
        constexpr LPARAM altDown = LPARAM(1) << 29;
        PostMessageW(thread.hwndFocus, WM_SYSCHAR, WPARAM(argv[2][0]), altDown | 1);
        return 0;
    }
    if (what == L"rows") {
        HWND list = GetDlgItem(dialog, vidlume::winui::siteVideosId);
        const int rows = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row)
            std::printf("%s\t%s\n", utf8(cellOf(list, row, 0)).c_str(), utf8(cellOf(list, row, 1)).c_str());
        return 0;
    }
    if (what == L"clipped") {
        const UINT dpi = GetDpiForWindow(dialog);
        const HFONT font = CreateFontW(-MulDiv(11, int(dpi), 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg");
        RECT client{};
        GetClientRect(dialog, &client);
        Children children;
        EnumChildWindows(dialog, collectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children.all) {
            if (GetParent(child) != dialog)
                continue;
            RECT place{};
            GetWindowRect(child, &place);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
            const bool inside = place.left >= 0 && place.top >= 0 && place.right <= client.right &&
                                place.bottom <= client.bottom;
            if (!inside || !fits(child, font))
                std::printf("%d %s\n", GetDlgCtrlID(child), utf8(textOf(child)).c_str());
        }
        DeleteObject(font);
        return 0;
    }
    if (argc < 3)
        return 64;
    HWND child = GetDlgItem(dialog, int(std::wcstol(argv[2], nullptr, 10)));
    if (!child)
        return 2;
    if (what == L"enabled") {
        std::printf("%d\n", IsWindowEnabled(child) ? 1 : 0);
    } else if (what == L"items") {
        const int count = int(SendMessageW(child, CB_GETCOUNT, 0, 0));
        for (int item = 0; item < count; ++item) {
            std::wstring text(std::size_t(SendMessageW(child, CB_GETLBTEXTLEN, WPARAM(item), 0)) + 1, L'\0');
            text.resize(std::size_t(
                SendMessageW(child, CB_GETLBTEXT, WPARAM(item), reinterpret_cast<LPARAM>(text.data()))));
            std::printf("%s\n", utf8(text).c_str());
        }
    } else if (what == L"centre") {
        RECT place{};
        GetWindowRect(child, &place);
        std::printf("%ld %ld\n", (place.left + place.right) / 2, (place.top + place.bottom) / 2);
    } else if (what == L"text") {
        std::printf("%s\n", utf8(textOf(child)).c_str());
    } else {
        return 64;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 64;
    const std::wstring what = argv[1];
    if (what == L"clipboard") {
        if (!OpenClipboard(nullptr))
            return 2;
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
        if (text) {
            std::printf("%s\n", utf8(text).c_str());
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text ? 0 : 2;
    }
    if (what.starts_with(L"site-"))
        return dialogProbe(FindWindowW(vidlume::winui::siteDialogClass, vidlume::winui::siteDialogCaption),
                           what.substr(5), argc, argv);
    if (what.starts_with(L"upload-"))
        return dialogProbe(FindWindowW(vidlume::winui::uploadDialogClass, vidlume::winui::uploadDialogCaption),
                           what.substr(7), argc, argv);
    if (argc < 3)
        return 64;
    if (what == L"field") {
        const Search search = findChild(argv[2], L"Edit");
        if (!search.found)
            return 2;
        RECT place{};
        GetWindowRect(search.found, &place);
        std::printf("%ld %ld\n", (place.left + place.right) / 2, (place.top + place.bottom) / 2);
        return 0;
    }
    if (what == L"texts") {
        const Search search = findChild(argv[2], L"Static");
        if (!search.found)
            return 2;
        std::printf("%s", vidlume::platform::win32::toUtf8(search.texts).c_str());
        return 0;
    }
    if (what == L"colours" && argc >= 4) {
        const bool dark = argv[3] == std::wstring(L"dark");
        const INT elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT};
        const COLORREF colours[] = {dark ? RGB(0, 0, 0) : RGB(255, 255, 255), dark ? RGB(255, 255, 255) : RGB(0, 0, 0)};
        return SetSysColors(2, elements, colours) ? 0 : 3;
    }
    HWND window = FindWindowW(L"TfrmMain", argv[2]);
    if (!window)
        return 2;
    if (what == L"focus") {
        GUITHREADINFO thread{sizeof thread};
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread))
            return 2;
        int found = -1;
        for (std::size_t i = 0; i < vidlume::form::controlCount; ++i)
            if (thread.hwndFocus && GetDlgItem(window, controlId(vidlume::form::Control(i))) == thread.hwndFocus)
                found = int(i);
        std::printf("%d\n", found);
        return 0;
    }
    if (what == L"client") {
        RECT client{};
        GetClientRect(window, &client);
        std::printf("%ld %ld\n", client.right, client.bottom);
        return 0;
    }
    if (argc < 4)
        return 64;
    const auto control = vidlume::form::Control(std::wcstol(argv[3], nullptr, 10));
    HWND child = GetDlgItem(window, controlId(control));
    if (!child)
        return 2;
    if (what == L"background") {
        RECT place{};
        GetWindowRect(child, &place);
        std::printf("%ld %ld\n", (place.left + place.right) / 2, place.top + 3);
    } else if (what == L"centre") {
        RECT place{};
        GetWindowRect(child, &place);
        std::printf("%ld %ld\n", (place.left + place.right) / 2, (place.top + place.bottom) / 2);
    } else if (what == L"enabled") {
        std::printf("%d\n", IsWindowEnabled(child) ? 1 : 0);
    } else if (what == L"checked") {
        std::printf("%d\n", SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    } else if (what == L"text") {
        std::printf("%s\n", vidlume::platform::win32::toUtf8(textOf(child)).c_str());
    } else {
        return 64;
    }
    return 0;
}
