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
//   window-probe focus   CAPTION            -> the number of the control with the keyboard
//                                            focus, or -1 for none of the form's
//   window-probe colours CAPTION dark|light -> sets the system's window and text colours
//                                            to white on black or black on white, as a
//                                            colour scheme does (every window is told)
//   window-probe background CAPTION CONTROL -> "X Y", a point on screen inside the
//                                            control above its text
// CONTROL is the form's control number (form/Control.h). Exit status 2 when the
// window is not there.

#include "platform/win32/WinText.h"
#include "winui/main_win.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 64;
    const std::wstring what = argv[1];
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
