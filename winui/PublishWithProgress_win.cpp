#include "winui/PublishWithProgress_win.h"

#include "form/ProgressText.h"
#include "winui/Control_win.h"
#include "winui/MessageBoxes_win.h"
#include "winui/WideText_win.h"

#include <commctrl.h>

#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace vidlume::winui {

namespace {

constexpr int progressSteps = 1000;
constexpr int textId = 100;
constexpr int barId = 101;
const wchar_t* const windowClass = L"VidlumeProgress";

/// What the worker and the window share while a generation runs.
struct Shared
{
    std::mutex mutex;
    PublishProgress progress;
    std::atomic<bool> cancel{false};
};

LRESULT CALLBACK progressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* shared = reinterpret_cast<Shared*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        // Cancel is the one button: Enter on it (IDOK) and Escape (IDCANCEL) both cancel.
        if ((LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) && shared) {
            shared->cancel = true;
            EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
        }
        return 0;
    case WM_CLOSE: // the close box cancels too
        if (shared)
            shared->cancel = true;
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND makeProgressWindow(HWND owner, Shared& shared)
{
    static const bool registered = [] {
        WNDCLASSW type{};
        type.lpfnWndProc = progressProcedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        type.lpszClassName = windowClass;
        return RegisterClassW(&type) != 0;
    }();
    if (!registered)
        return nullptr;

    const UINT dpi = GetDpiForWindow(owner);
    RECT frame{0, 0, scaled(360, dpi), scaled(114, dpi)};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, dpi);
    RECT ownerPlace{};
    GetWindowRect(owner, &ownerPlace);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, windowClass,
                                  wide(applicationTitle).c_str(), style,
                                  ownerPlace.left + (ownerPlace.right - ownerPlace.left - width) / 2,
                                  ownerPlace.top + (ownerPlace.bottom - ownerPlace.top - height) / 2, width,
                                  height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&shared));

    const auto font = reinterpret_cast<HFONT>(SendMessageW(owner, WM_GETFONT, 0, 0));
    const auto child = [&](const wchar_t* type, const wchar_t* text, DWORD childStyle, Place place, int id) {
        HWND control = CreateWindowExW(
            0, type, text, WS_CHILD | WS_VISIBLE | childStyle, scaled(place.left, dpi),
            scaled(place.top, dpi), scaled(place.width, dpi), scaled(place.height, dpi), window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        return control;
    };
    child(L"STATIC", L"", SS_NOPREFIX, {12, 10, 336, 32}, textId);
    HWND bar = child(PROGRESS_CLASSW, L"", 0, {12, 48, 336, 16}, barId);
    SendMessageW(bar, PBM_SETRANGE32, 0, progressSteps);
    child(L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, {273, 78, 75, 25}, IDCANCEL);
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, IDCANCEL));
    return window;
}

void showProgress(HWND window, Shared& shared)
{
    PublishProgress progress;
    {
        std::lock_guard lock(shared.mutex);
        progress = shared.progress;
    }
    SetDlgItemTextW(window, textId, wide(form::progressText(progress)).c_str());
    SendDlgItemMessageW(window, barId, PBM_SETPOS, WPARAM(form::progressSteps(progress, progressSteps)), 0);
}

} // namespace

PublishResult publishWithProgress(HWND owner, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder, std::chrono::milliseconds showAfter)
{
    Shared shared;
    std::optional<PublishResult> result;
    std::exception_ptr error;
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    std::thread worker([&] {
        PublishControl control;
        control.onProgress = [&shared](const PublishProgress& progress) {
            std::lock_guard lock(shared.mutex);
            shared.progress = progress;
        };
        control.cancelRequested = [&shared] { return shared.cancel.load(); };
        try {
            result = publish(inputs, programFolder, control);
        } catch (...) {
            error = std::current_exception();
        }
        SetEvent(finished);
    });

    // The window takes no input while the generation runs, as with a modal dialog.
    EnableWindow(owner, FALSE);
    const auto start = std::chrono::steady_clock::now();
    HWND dialog = nullptr;
    bool quit = false;
    int quitCode = 0;
    while (MsgWaitForMultipleObjects(1, &finished, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = int(message.wParam);
                shared.cancel = true;
                continue;
            }
            if (dialog && IsDialogMessageW(dialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!dialog && std::chrono::steady_clock::now() - start >= showAfter)
            dialog = makeProgressWindow(owner, shared);
        if (dialog)
            showProgress(dialog, shared);
    }
    worker.join();
    CloseHandle(finished);
    EnableWindow(owner, TRUE);
    if (dialog)
        DestroyWindow(dialog);
    SetActiveWindow(owner);
    if (quit)
        PostQuitMessage(quitCode);

    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

} // namespace vidlume::winui
