#include "winui/PublishWithProgress_win.h"

#include "platform/win32/WinText.h"
#include "winui/Button_win.h"
#include "winui/MessageBoxes_win.h"
#include "winui/ProgressBar_win.h"
#include "winui/StaticText_win.h"
#include "winui/WindowsError_win.h"

#include <memory>
#include <optional>

namespace vidlume::winui {

using platform::win32::toWide;

namespace {

const wchar_t* const windowClass = L"VidlumeProgress";
constexpr int clientWidth = 360;
constexpr int clientHeight = 126;

/// The progress dialog over the main window: up to three lines of text, the bar
/// and Cancel.
class ProgressWindow
{
public:
    ProgressWindow(HWND owner, form::BackgroundGeneration& generation);
    ~ProgressWindow()
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    HWND hwnd() const { return m_window; }

    void paint(const form::ProgressView& progress)
    {
        m_text.setText(progress.text);
        m_bar.setPosition(progress.barPosition);
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void cancel()
    {
        m_generation.cancel();
        m_cancel.setEnabled(false);
    }

    form::BackgroundGeneration& m_generation;
    HWND m_window = nullptr;
    StaticText m_text;
    ProgressBar m_bar;
    Button m_cancel;
};

ProgressWindow::ProgressWindow(HWND owner, form::BackgroundGeneration& generation) : m_generation(generation)
{
    static const bool registered = [] {
        WNDCLASSW type{};
        type.lpfnWndProc = &ProgressWindow::procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        type.lpszClassName = windowClass;
        return RegisterClassW(&type) != 0;
    }();
    if (!registered)
        throwLastError("Cannot register the progress window's class");

    const UINT dpi = GetDpiForWindow(owner);
    RECT frame{0, 0, scaled(clientWidth, dpi), scaled(clientHeight, dpi)};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, dpi);
    RECT ownerPlace{};
    GetWindowRect(owner, &ownerPlace);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    m_window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, windowClass,
                               toWide(applicationTitle).c_str(), style,
                               ownerPlace.left + (ownerPlace.right - ownerPlace.left - width) / 2,
                               ownerPlace.top + (ownerPlace.bottom - ownerPlace.top - height) / 2, width, height,
                               owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!m_window)
        throwLastError("Cannot create the progress window");
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    // Three lines: the phase and file, the bytes, the time left.
    m_text.create({m_window, 100, {12, 10, 336, 45}, ""});
    m_bar.create({m_window, 101, {12, 60, 336, 16}, ""}, form::ProgressView::barSteps);
    m_cancel.create({m_window, IDCANCEL, {273, 90, 75, 25}, "Cancel"});
    m_cancel.onClick = [this] { cancel(); };
    const auto font = reinterpret_cast<HFONT>(SendMessageW(owner, WM_GETFONT, 0, 0));
    for (Control* control : {static_cast<Control*>(&m_text), static_cast<Control*>(&m_bar),
                             static_cast<Control*>(&m_cancel)})
        control->applyDpi(dpi, font);
    ShowWindow(m_window, SW_SHOW);
    m_cancel.focus();
}

LRESULT CALLBACK ProgressWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; Control::route(message, wParam, lParam, result))
        return result;
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        // Cancel is the one button: Enter (IDOK) and Escape (IDCANCEL) both cancel.
        if ((LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) && self)
            self->cancel();
        return 0;
    case WM_CLOSE: // the close box cancels too
        if (self)
            self->cancel();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

PublishResult publishWithProgress(HWND owner, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder, std::chrono::milliseconds showAfter)
{
    const HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!finished)
        throwLastError("Cannot start the generation");
    const std::unique_ptr<void, decltype(&CloseHandle)> closeFinished(finished, &CloseHandle);
    // The window takes no input while the generation runs, as with a modal dialog.
    EnableWindow(owner, FALSE);
    struct Reenable
    {
        HWND owner;
        ~Reenable()
        {
            EnableWindow(owner, TRUE);
            SetActiveWindow(owner);
        }
    } reenable{owner};

    form::BackgroundGeneration generation(publish, inputs, programFolder, [finished] { SetEvent(finished); });
    std::unique_ptr<ProgressWindow> dialog;
    std::optional<int> quitCode;
    while (MsgWaitForMultipleObjects(1, &finished, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = int(message.wParam);
                generation.cancel();
                continue;
            }
            if (dialog && IsDialogMessageW(dialog->hwnd(), &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!dialog && generation.progressDue(showAfter))
            dialog = std::make_unique<ProgressWindow>(owner, generation);
        if (dialog)
            dialog->paint(generation.progress());
    }
    // The owner takes the input again before the dialog goes, so that it, and no
    // other program's window, becomes the active one.
    EnableWindow(owner, TRUE);
    dialog.reset();
    if (quitCode)
        PostQuitMessage(*quitCode);
    return generation.result();
}

} // namespace vidlume::winui
