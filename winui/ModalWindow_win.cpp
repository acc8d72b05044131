#include "winui/ModalWindow_win.h"

#include "winui/Control_win.h"
#include "winui/WindowsError_win.h"

#include <algorithm>
#include <optional>

namespace vidlume::winui {

void registerModalWindowClass(const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSW type{};
    type.lpfnWndProc = procedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    type.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = className;
    if (!RegisterClassW(&type) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throwLastError("Cannot register a window class");
}

HWND createModalWindow(HWND owner, const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle,
                       int clientWidth, int clientHeight, UINT dpi)
{
    RECT frame{0, 0, scaled(clientWidth, dpi), scaled(clientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT ownerPlace{};
    GetWindowRect(owner, &ownerPlace);
    RECT desktop{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);
    const int left = std::max<int>(
        desktop.left, std::min<int>(desktop.right - width, (ownerPlace.left + ownerPlace.right - width) / 2));
    const int top =
        std::max<int>(desktop.top, std::min<int>(desktop.bottom - height,
                                                 (ownerPlace.top + ownerPlace.bottom - height) / 2));
    const HWND window = CreateWindowExW(exStyle, className, caption, style, left, top, width, height, owner,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        throwLastError("Cannot create a window");
    return window;
}

void runModalLoop(HWND window, HWND owner, const bool& closed, const std::function<void()>& onQuit)
{
    EnableWindow(owner, FALSE);
    struct Reenable
    {
        HWND owner;
        ~Reenable() { EnableWindow(owner, TRUE); }
    } reenable{owner};

    std::optional<int> quitCode;
    MSG message;
    while (!closed && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (!closed) { // WM_QUIT: it ends the program's loop too, after this one
        quitCode = int(message.wParam);
        onQuit();
    }
    // The owner takes the input again before the window goes, so that it, and no
    // other program's window, becomes the active one.
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    ShowWindow(window, SW_HIDE);
    if (quitCode)
        PostQuitMessage(*quitCode);
}

} // namespace vidlume::winui
