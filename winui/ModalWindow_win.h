#pragma once

// What the program's own modal windows (Publish Many Videos, Upload) share:
// their class, their place over the owner, and their message loop.

#include <windows.h>

#include <functional>

namespace vidlume::winui {

/// Registers a window class for a modal window with the program's icon, the
/// arrow cursor and the dialog face colour; throws when the system refuses.
void registerModalWindowClass(const wchar_t* className, WNDPROC procedure);

/// Makes a window of clientWidth x clientHeight (at 96 DPI, scaled to dpi)
/// centred over owner and inside the desktop's work area; throws when it cannot.
HWND createModalWindow(HWND owner, const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle,
                       int clientWidth, int clientHeight, UINT dpi);

/// Runs the messages of window, shown over owner, until closed turns true; the
/// owner takes no input meanwhile. A WM_QUIT that comes first runs onQuit, ends
/// the loop and is posted again for the program's own loop once the owner is
/// active again.
void runModalLoop(HWND window, HWND owner, const bool& closed, const std::function<void()>& onQuit);

} // namespace vidlume::winui
