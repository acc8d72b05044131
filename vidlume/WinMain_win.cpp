// The window program's body on Windows: the common controls, the main window
// with the file it was handed, and the message loop with the dialog keys (Tab,
// arrows, Enter, Alt+letter) and the menu's shortcuts.

#include "platform/win32/WinText.h"
#include "winui/MessageBoxes_win.h"
#include "winui/main_win.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <optional>
#include <string>

namespace {

/// The file named first on the command line, as a full path; nothing without one.
std::optional<std::string> handedVideo()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return std::nullopt;
    std::optional<std::string> video;
    if (count >= 2 && arguments[1][0] != L'\0') {
        std::wstring full(MAX_PATH, L'\0');
        DWORD length = GetFullPathNameW(arguments[1], DWORD(full.size()), full.data(), nullptr);
        if (length >= full.size()) {
            full.resize(length);
            length = GetFullPathNameW(arguments[1], DWORD(full.size()), full.data(), nullptr);
        }
        if (length > 0 && length < full.size()) {
            full.resize(length);
            video = vidlume::platform::win32::toUtf8(full);
        }
    }
    LocalFree(arguments);
    return video;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                            ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    // COM for the shell's folder browser and the controls' accessible names.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    TfrmMain window;
    frmMain = &window;
    try {
        window.create();
    } catch (const std::exception& error) {
        vidlume::winui::showErrorReport(nullptr, error.what());
        if (SUCCEEDED(com))
            CoUninitialize();
        return 1;
    }
    window.show(showCommand);
    // "vidlume.exe FILE", as "Open with" and a file dropped on the program start it.
    if (const auto video = handedVideo())
        window.openVideos({*video});

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.hwnd() && window.accelerators() &&
            TranslateAcceleratorW(window.hwnd(), window.accelerators(), &message))
            continue;
        if (window.hwnd() && IsDialogMessageW(window.hwnd(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    frmMain = nullptr;
    if (SUCCEEDED(com))
        CoUninitialize();
    return int(message.wParam);
}
