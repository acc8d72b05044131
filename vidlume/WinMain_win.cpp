// The window program's body on Windows: the common controls, the main window,
// and the message loop with the dialog keys (Tab, arrows, Enter, Alt+letter).

#include "winui/MessageBoxes_win.h"
#include "winui/main_win.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
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

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
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
