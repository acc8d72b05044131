#include "winui/main_win.h"

#include "form/AccessibleNames.h"
#include "platform/ProgramInfo.h"
#include "platform/win32/WinText.h"
#include "publish/Publish.h"
#include "winui/Accessibility_win.h"
#include "winui/Button_win.h"
#include "winui/CheckBox_win.h"
#include "winui/ComboBox_win.h"
#include "winui/Edit_win.h"
#include "winui/GroupBox_win.h"
#include "winui/MenuShortcut_win.h"
#include "winui/MessageBoxes_win.h"
#include "winui/RadioButton_win.h"
#include "winui/SiteDialog_win.h"
#include "winui/StaticText_win.h"
#include "winui/TrackBar_win.h"
#include "winui/UploadDialog_win.h"
#include "winui/WindowsError_win.h"
#include "winui/directory_win.h"

#include <commctrl.h>
#include <shellapi.h>


TfrmMain* frmMain = nullptr;

using namespace vidlume;
using form::Control;
using winui::ControlArgs;

namespace {

constexpr COLORREF fieldColour = RGB(255, 251, 240);
constexpr int fontHeight = 11; // "MS Sans Serif" at 8 points, at 96 DPI
const wchar_t* const windowClass = L"TfrmMain";

// Labels and frames have ids of their own after the form controls' (controlId),
// and the menu commands come after them.
constexpr int staticId = 2000;
constexpr int firstMenuId = 3001;

HFONT makeFont(UINT dpi)
{
    return CreateFontW(-winui::scaled(fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg");
}

const DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const DWORD windowExStyle = WS_EX_CONTROLPARENT;

/// The control of a piece, made at its place in the client area.
std::unique_ptr<winui::Control> makeControl(const form::Piece& piece, const ControlArgs& args)
{
    using Kind = form::PieceKind;
    switch (piece.kind) {
    case Kind::GroupBox: {
        auto box = std::make_unique<winui::GroupBox>();
        box->create(args);
        return box;
    }
    case Kind::Label: {
        auto label = std::make_unique<winui::StaticText>();
        label->create(args);
        return label;
    }
    case Kind::Field: {
        auto field = std::make_unique<winui::Edit>();
        field->create(args);
        if (piece.control && form::hasFieldColour(*piece.control))
            field->setBackground(fieldColour);
        if (piece.keyFilter)
            field->setKeyFilter(piece.keyFilter);
        if (piece.hint)
            field->setToolTip(piece.hint);
        return field;
    }
    case Kind::ComboBox: {
        auto box = std::make_unique<winui::ComboBox>();
        box->create(args, piece.items);
        box->select(0);
        return box;
    }
    case Kind::PushButton: {
        auto button = std::make_unique<winui::Button>();
        button->create(args);
        return button;
    }
    case Kind::CheckBox: {
        auto box = std::make_unique<winui::CheckBox>();
        box->create(args);
        box->setChecked(piece.checked);
        return box;
    }
    case Kind::RadioButton: {
        auto radio = std::make_unique<winui::RadioButton>();
        radio->create(args);
        return radio;
    }
    case Kind::TrackBar: {
        auto bar = std::make_unique<winui::TrackBar>();
        bar->create(args, piece.range);
        return bar;
    }
    }
    return nullptr;
}

} // namespace

TfrmMain::TfrmMain() : m_publish(&publishGeneration) {}

TfrmMain::~TfrmMain()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    if (m_font)
        DeleteObject(m_font);
    if (m_accelerators)
        DestroyAcceleratorTable(m_accelerators);
}

void TfrmMain::create()
{
    static const bool registered = [] {
        WNDCLASSEXW type{};
        type.cbSize = sizeof type;
        type.lpfnWndProc = &TfrmMain::windowProcedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
        type.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        type.lpszClassName = windowClass;
        return RegisterClassExW(&type) != 0;
    }();
    if (!registered)
        winui::throwLastError("Cannot register the main window's class");
    m_hwnd = CreateWindowExW(windowExStyle, windowClass, L"Norvane Vidlume", windowStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, form::clientWidth, form::clientHeight, nullptr, nullptr,
                             GetModuleHandleW(nullptr), this);
    if (!m_hwnd)
        winui::throwLastError("Cannot create the main window");
    // A video dropped from Explorer becomes the video, as "Open with" makes it.
    DragAcceptFiles(m_hwnd, TRUE);
    createMenu();
    createControls();
    OpenDialog1 = std::make_unique<winui::OpenDialog>(m_hwnd);
    applyDpi(GetDpiForWindow(m_hwnd));
    winui::runReportingErrors(m_hwnd, [this] { m_form.FormCreate(); });
}

void TfrmMain::createMenu()
{
    MainMenu1 = CreateMenu();
    std::vector<ACCEL> shortcuts;
    int id = firstMenuId;
    for (const form::MenuCommand& command : form::mainMenu()) {
        std::string caption = command.caption;
        if (const auto shortcut = winui::acceleratorOf(command.shortcut, WORD(id))) {
            shortcuts.push_back(*shortcut);
            caption += std::string("\t") + command.shortcut;
        }
        AppendMenuW(MainMenu1, MF_STRING, id, platform::win32::toWide(caption).c_str());
        ++id;
    }
    SetMenu(m_hwnd, MainMenu1);
    if (!shortcuts.empty())
        m_accelerators = CreateAcceleratorTableW(shortcuts.data(), int(shortcuts.size()));
}

void TfrmMain::runHandler(form::Handler handler)
{
    winui::runReportingErrors(m_hwnd, [this, handler] { handler(m_form); });
}

void TfrmMain::createControls()
{
    // Creation order is the tab order; each label comes just before the piece it
    // names, so that screen readers name that piece by it.
    int nextStaticId = staticId;
    bool inRadioGroup = false;
    for (const form::Piece& piece : form::mainFormLayout()) {
        ControlArgs args{m_hwnd, piece.control ? controlId(*piece.control) : nextStaticId++,
                         form::placeInClientArea(piece), piece.caption};
        if (!piece.enabled)
            args.style |= WS_DISABLED;
        if (piece.readOnly)
            args.style |= ES_READONLY;
        // A run of radio buttons is one group: the first starts it, the control
        // that next takes the focus ends it.
        const bool radio = piece.kind == form::PieceKind::RadioButton;
        const bool takesFocus = piece.kind != form::PieceKind::Label && piece.kind != form::PieceKind::GroupBox;
        if ((radio && !inRadioGroup) || (!radio && takesFocus && inRadioGroup)) {
            args.style |= WS_GROUP;
            inRadioGroup = radio;
        }
        auto control = makeControl(piece, args);
        if (piece.control)
            m_controls[std::size_t(*piece.control)] = control.get();
        if (piece.handler) {
            const auto run = [this, handler = piece.handler] { runHandler(handler); };
            if (auto* box = dynamic_cast<winui::CheckBox*>(control.get()))
                box->onClick = run;
            else if (auto* button = dynamic_cast<winui::Button*>(control.get()))
                button->onClick = run;
            else if (auto* bar = dynamic_cast<winui::TrackBar*>(control.get()))
                bar->onChange = run;
        }
        m_pieces.push_back(std::move(control));
    }

    // Buttons of one caption say which field they serve; fields are named by the
    // label created just before them.
    for (const auto& [control, name, description] : form::accessibleButtonNames())
        winui::setAccessibleName(controlOf(control)->hwnd(), name, description);
}

void TfrmMain::applyDpi(UINT dpi)
{
    m_dpi = dpi;
    HFONT old = m_font;
    m_font = makeFont(dpi);
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    for (const auto& control : m_pieces)
        control->applyDpi(dpi, m_font);
    if (old)
        DeleteObject(old);
}

void TfrmMain::centreOnDesktop()
{
    RECT frame{0, 0, winui::scaled(form::clientWidth, m_dpi), winui::scaled(form::clientHeight, m_dpi)};
    AdjustWindowRectExForDpi(&frame, windowStyle, TRUE, windowExStyle, m_dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT desktop{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);
    SetWindowPos(m_hwnd, nullptr, desktop.left + (desktop.right - desktop.left - width) / 2,
                 desktop.top + (desktop.bottom - desktop.top - height) / 2, width, height, SWP_NOZORDER);
    // The menu bar may wrap at a small width; make the client area what it must be.
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const int missing = winui::scaled(form::clientHeight, m_dpi) - client.bottom;
    if (missing != 0)
        SetWindowPos(m_hwnd, nullptr, 0, 0, width, height + missing, SWP_NOZORDER | SWP_NOMOVE);
}

void TfrmMain::show(int showCommand)
{
    centreOnDesktop();
    ShowWindow(m_hwnd, showCommand);
    UpdateWindow(m_hwnd);
    winui::runReportingErrors(m_hwnd, [this] {
        m_form.FormShow();
        InvalidateRect(m_hwnd, nullptr, TRUE); // the fields take their colour
    });
    // The keyboard starts in the first field.
    if (!GetFocus() || GetFocus() == m_hwnd)
        controlOf(Control::edt_videofile)->focus();
}

void TfrmMain::openVideos(const std::vector<std::string>& paths)
{
    winui::runReportingErrors(m_hwnd, [this, &paths] { m_form.videoFilesChosen(paths); });
}

LRESULT CALLBACK TfrmMain::windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TfrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT TfrmMain::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; winui::Control::route(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK) {
            // Enter: a focused push button is clicked, as Space would.
            HWND focused = GetFocus();
            if (focused &&
                (SendMessageW(focused, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
                SendMessageW(focused, BM_CLICK, 0, 0);
        } else if (const auto menu = form::mainMenu();
                   lParam == 0 && id >= firstMenuId && id < firstMenuId + int(menu.size())) {
            runHandler(menu[std::size_t(id - firstMenuId)].handler);
        }
        return 0;
    }
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // High contrast went on or off, or the colours changed: the fields paint
        // again in what they are now; the common controls hear of it too.
        for (const auto& control : m_pieces)
            SendMessageW(control->hwnd(), message, wParam, lParam);
        InvalidateRect(m_hwnd, nullptr, TRUE);
        return 0;
    case WM_DROPFILES: {
        const auto drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> paths;
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(std::size_t(DragQueryFileW(drop, i, nullptr, 0)) + 1, L'\0');
            path.resize(DragQueryFileW(drop, i, path.data(), UINT(path.size())));
            paths.push_back(platform::win32::toUtf8(path));
        }
        DragFinish(drop);
        // One video becomes the video; a folder or several videos open Publish Many Videos.
        winui::runReportingErrors(m_hwnd, [this, &paths] { m_form.filesDropped(paths); });
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        m_hwnd = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

std::string TfrmMain::controlText(Control control) const
{
    return controlOf(control)->text();
}

void TfrmMain::setControlText(Control control, const std::string& text)
{
    controlOf(control)->setText(text);
}

bool TfrmMain::controlChecked(Control control) const
{
    const auto* box = dynamic_cast<const winui::CheckBox*>(controlOf(control));
    return box && box->isChecked();
}

int TfrmMain::controlPosition(Control control) const
{
    const auto* bar = dynamic_cast<const winui::TrackBar*>(controlOf(control));
    return bar ? bar->position() : 0;
}

void TfrmMain::enableControl(Control control, bool enabled)
{
    controlOf(control)->setEnabled(enabled);
}

void TfrmMain::setControlReadOnly(Control control, bool readOnly)
{
    if (auto* field = dynamic_cast<winui::Edit*>(controlOf(control)))
        field->setReadOnly(readOnly);
}

void TfrmMain::focusControl(Control control)
{
    controlOf(control)->focus();
}

void TfrmMain::setCaption(const std::string& caption)
{
    SetWindowTextW(m_hwnd, platform::win32::toWide(caption).c_str());
}

void TfrmMain::showWarning(const std::string& text)
{
    winui::showWarningBox(m_hwnd, text);
}

std::optional<std::string> TfrmMain::runOpenDialog(const std::vector<form::FileFilter>& filters)
{
    return OpenDialog1->execute(filters);
}

std::optional<std::string> TfrmMain::runFolderChooser()
{
    if (!fmDirectory)
        fmDirectory = new TfmDirectory;
    fmDirectory->exec(m_hwnd);
    if (fmDirectory->SelectedDir.empty())
        return std::nullopt;
    return fmDirectory->SelectedDir;
}

PublishResult TfrmMain::publishWithProgress(const PageInputs& inputs)
{
    return winui::publishWithProgress(m_hwnd, m_publish, inputs, platform::programFolder());
}

void TfrmMain::runSiteDialog(const std::vector<std::string>& sources, const PageInputs& options)
{
    winui::runSiteDialog(m_hwnd, options, sources);
}

void TfrmMain::runUploadDialog(const std::string& folder)
{
    winui::runUploadDialog(m_hwnd, folder);
}
