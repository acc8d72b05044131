#include "winui/main_win.h"

#include "form/AccessibleNames.h"
#include "platform/ProgramInfo.h"
#include "publish/Publish.h"
#include "winui/Accessibility_win.h"
#include "winui/MessageBoxes_win.h"
#include "winui/WideText_win.h"
#include "winui/directory_win.h"

#include <commctrl.h>

TfrmMain* frmMain = nullptr;

using namespace vidlume;
using form::Control;
using winui::ControlArgs;
using winui::Place;

namespace {

constexpr int clientWidth = 481;
constexpr int clientHeight = 421;
constexpr COLORREF fieldColour = RGB(255, 251, 240);
constexpr int fontHeight = 11; // "MS Sans Serif" at 8 points, at 96 DPI
const wchar_t* const windowClass = L"TfrmMain";

// Labels and frames have ids of their own after the form controls' (controlId),
// and the menu items come after them.
constexpr int staticId = 2000;
enum MenuItem
{
    WebSite1 = 3001,
    NorvaneVidmorph1,
    Help1,
};

/// The place of a control inside a group box, in the window's client area.
Place inside(const Place& box, Place place)
{
    place.left += box.left;
    place.top += box.top;
    return place;
}

HFONT makeFont(UINT dpi)
{
    return CreateFontW(-winui::scaled(fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg");
}

const DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const DWORD windowExStyle = WS_EX_CONTROLPARENT;

} // namespace

TfrmMain::TfrmMain() : m_publish(&publishGeneration) {}

TfrmMain::~TfrmMain()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    if (m_font)
        DeleteObject(m_font);
    if (m_fieldBrush)
        DeleteObject(m_fieldBrush);
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
        throw std::runtime_error("Cannot register the main window's class");
    m_hwnd = CreateWindowExW(windowExStyle, windowClass, L"Norvane Vidlume", windowStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, clientWidth, clientHeight, nullptr, nullptr,
                             GetModuleHandleW(nullptr), this);
    if (!m_hwnd)
        throw std::runtime_error("Cannot create the main window");
    m_fieldBrush = CreateSolidBrush(fieldColour);
    createMenu();
    createControls();
    OpenDialog1 = std::make_unique<winui::OpenDialog>(m_hwnd);
    applyDpi(GetDpiForWindow(m_hwnd));
    winui::runReportingErrors(m_hwnd, [this] { FormCreate(); });
}

void TfrmMain::createMenu()
{
    MainMenu1 = CreateMenu();
    AppendMenuW(MainMenu1, MF_STRING, WebSite1, L"&Web Site");
    AppendMenuW(MainMenu1, MF_STRING, NorvaneVidmorph1, L"&Vidmorph");
    AppendMenuW(MainMenu1, MF_STRING, Help1, L"&Help");
    SetMenu(m_hwnd, MainMenu1);
}

void TfrmMain::createControls()
{
    // Creation order is the tab order; each label comes just before the field it
    // names, so that screen readers name the field by it.
    int nextStaticId = staticId;
    const auto label = [&](winui::Label& label, Place place, const char* caption) {
        place.height = 13;
        label.create({m_hwnd, nextStaticId++, place, caption});
        m_controls.push_back(&label);
    };
    const auto add = [&](winui::Control& control) { m_controls.push_back(&control); };
    const auto args = [this](Control control, Place place, const char* text = "", DWORD style = 0) {
        return ControlArgs{m_hwnd, controlId(control), place, text, style};
    };

    const Place box1{8, 3, 463, 127};
    GroupBox1.create({m_hwnd, nextStaticId++, box1, "VIdeo File"});
    add(GroupBox1);
    label(Label1, inside(box1, {33, 19}), "VIdeo File:");
    edt_videofile.create(
        args(Control::edt_videofile, inside(box1, {92, 14, 301, 21}), "", ES_READONLY | WS_DISABLED));
    add(edt_videofile);
    btn_videofile.create(args(Control::btn_videofile, inside(box1, {401, 11, 50, 25}), "Browse"));
    add(btn_videofile);
    label(Label9, inside(box1, {36, 99}), "Vide Size:");
    cbb_videosize.create(args(Control::cbb_videosize, inside(box1, {92, 98, 145, 21})),
                         {"320x240", "512x384", "640x480", "720x540"});
    cbb_videosize.select(0);
    add(cbb_videosize);
    chk_autoplay.create(args(Control::chk_autoplay, inside(box1, {256, 100, 97, 17}), "Auto Play Video"));
    add(chk_autoplay);
    chk_html5.create(args(Control::chk_html5, inside(box1, {356, 100, 95, 17}), "HTML5 Player"));
    chk_html5.setChecked(form::html5PlayerAtStart);
    add(chk_html5);
    label(Label2, inside(box1, {29, 46}), "Video path:");
    edt_videopath.create(args(Control::edt_videopath, inside(box1, {92, 42, 301, 21})));
    add(edt_videopath);
    btn_videopathhelp.create(args(Control::btn_videopathhelp, inside(box1, {401, 41, 50, 25}), "Help"));
    add(btn_videopathhelp);
    label(Label3, inside(box1, {9, 74}), "FLV playe path:");
    edt_flvplayerpath.create(args(Control::edt_flvplayerpath, inside(box1, {92, 70, 303, 21})));
    add(edt_flvplayerpath);
    btn_flvplayerpath.create(args(Control::btn_flvplayerpath, inside(box1, {401, 72, 50, 25}), "Help"));
    add(btn_flvplayerpath);

    const Place box2{8, 136, 463, 216};
    GroupBox2.create({m_hwnd, nextStaticId++, box2, "Web Player Option"});
    add(GroupBox2);
    chk_thumbnail.create(args(Control::chk_thumbnail, inside(box2, {6, 24, 113, 17}), "Include Thumbnail:"));
    add(chk_thumbnail);
    chk_logo.create(args(Control::chk_logo, inside(box2, {6, 75, 89, 17}), "Include Logo:"));
    add(chk_logo);
    label(Label4, inside(box2, {5, 51}), "Thumbnail Image:");
    edt_thumbnailimage.create(
        args(Control::edt_thumbnailimage, inside(box2, {95, 50, 293, 21}), "", ES_READONLY | WS_DISABLED));
    add(edt_thumbnailimage);
    btn_thumbnailimage.create(args(Control::btn_thumbnailimage, inside(box2, {397, 47, 51, 25}), "Browse"));
    add(btn_thumbnailimage);
    label(Label5, inside(box2, {24, 99}), "Logo Image:");
    edt_logoimage.create(
        args(Control::edt_logoimage, inside(box2, {95, 96, 293, 21}), "", ES_READONLY | WS_DISABLED));
    add(edt_logoimage);
    btn_logoimage.create(args(Control::btn_logoimage, inside(box2, {397, 93, 51, 25}), "Browse"));
    add(btn_logoimage);
    label(Label6, inside(box2, {26, 151}), "Logo Alpha:");
    trc_logoalpha.create(args(Control::trc_logoalpha, inside(box2, {87, 147, 331, 20}), "", WS_DISABLED), {});
    add(trc_logoalpha);
    label(lbl_position, inside(box2, {425, 149}), "0");
    label(Label8, inside(box2, {16, 187}), "Logo Position:");
    const Place box3 = inside(box2, {95, 171, 357, 41});
    GroupBox3.create({m_hwnd, nextStaticId++, box3, ""});
    add(GroupBox3);
    // One group of radio buttons: the first starts it, the field after them ends it.
    rb_topleft.create(args(Control::rb_topleft, inside(box3, {10, 14, 65, 17}), "Top Left", WS_GROUP), true);
    rb_topright.create(args(Control::rb_topright, inside(box3, {87, 14, 73, 17}), "Top Right"), true);
    rb_bottomleft.create(args(Control::rb_bottomleft, inside(box3, {171, 14, 81, 17}), "Bottom Left"), true);
    rb_bottomright.create(args(Control::rb_bottomright, inside(box3, {261, 14, 86, 17}), "Bottom Right"),
                          true);
    for (auto* radio : {&rb_topleft, &rb_topright, &rb_bottomleft, &rb_bottomright})
        add(*radio);
    label(Label11, inside(box2, {37, 126}), "Logo link:");
    edt_logolink.create(args(Control::edt_logolink, inside(box2, {95, 122, 168, 21}), "",
                             ES_READONLY | WS_DISABLED | WS_GROUP));
    edt_logolink.setToolTip("Website to open when the logo is clicked. ");
    add(edt_logolink);
    label(Label12, inside(box2, {269, 126}), "Logo Width:");
    edt_logowidth.create(
        args(Control::edt_logowidth, inside(box2, {329, 122, 121, 21}), "", ES_READONLY | WS_DISABLED));
    edt_logowidth.setKeyFilter(&form::edt_logowidthKeyPress);
    add(edt_logowidth);

    btn_start.create(args(Control::btn_start, {136, 389, 217, 25}, "Generate HTML Code"));
    add(btn_start);
    label(Label10, {13, 363}, "Output Directory:");
    edt_outputdir.create(args(Control::edt_outputdir, {100, 359, 274, 21}, "", ES_READONLY | WS_DISABLED));
    add(edt_outputdir);
    btn_outputdir.create(args(Control::btn_outputdir, {380, 357, 49, 25}, "Browse"));
    add(btn_outputdir);
    btn_open.create(args(Control::btn_open, {432, 357, 38, 25}, "Open"));
    add(btn_open);

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
    for (auto* control : m_controls)
        control->applyDpi(dpi, m_font);
    if (old)
        DeleteObject(old);
}

void TfrmMain::centreOnDesktop()
{
    RECT frame{0, 0, winui::scaled(clientWidth, m_dpi), winui::scaled(clientHeight, m_dpi)};
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
    const int missing = winui::scaled(clientHeight, m_dpi) - client.bottom;
    if (missing != 0)
        SetWindowPos(m_hwnd, nullptr, 0, 0, width, height + missing, SWP_NOZORDER | SWP_NOMOVE);
}

void TfrmMain::show(int showCommand)
{
    centreOnDesktop();
    ShowWindow(m_hwnd, showCommand);
    UpdateWindow(m_hwnd);
    winui::runReportingErrors(m_hwnd, [this] { FormShow(); });
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
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == trc_logoalpha.hwnd())
            winui::runReportingErrors(m_hwnd, [this] { trc_logoalphaChange(); });
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (isFieldWithColour(reinterpret_cast<HWND>(lParam))) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, fieldColour);
            SetTextColor(dc, GetSysColor(IsWindowEnabled(reinterpret_cast<HWND>(lParam)) ? COLOR_WINDOWTEXT
                                                                                         : COLOR_GRAYTEXT));
            return reinterpret_cast<LRESULT>(m_fieldBrush);
        }
        break;
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
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

bool TfrmMain::isFieldWithColour(HWND control) const
{
    for (const auto* field :
         {&edt_videofile, &edt_thumbnailimage, &edt_logoimage, &edt_outputdir, &edt_logolink, &edt_logowidth})
        if (field->hwnd() == control)
            return true;
    return false;
}

void TfrmMain::command(int id, int notification)
{
    if (id == IDOK) {
        // Enter: a focused push button is clicked, as Space would.
        HWND focused = GetFocus();
        if (focused &&
            (SendMessageW(focused, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            SendMessageW(focused, BM_CLICK, 0, 0);
        return;
    }
    void (TfrmMain::*handler)() = nullptr;
    switch (id) {
    case WebSite1:
        handler = &TfrmMain::WebSite1Click;
        break;
    case NorvaneVidmorph1:
        handler = &TfrmMain::NorvaneVidmorph1Click;
        break;
    case Help1:
        handler = &TfrmMain::Help1Click;
        break;
    default:
        if (notification != BN_CLICKED)
            return;
        switch (Control(id - controlId(Control{}))) {
        case Control::btn_videofile:
            handler = &TfrmMain::btn_videofileClick;
            break;
        case Control::btn_thumbnailimage:
            handler = &TfrmMain::btn_thumbnailimageClick;
            break;
        case Control::btn_logoimage:
            handler = &TfrmMain::btn_logoimageClick;
            break;
        case Control::chk_thumbnail:
            handler = &TfrmMain::chk_thumbnailClick;
            break;
        case Control::chk_logo:
            handler = &TfrmMain::chk_logoClick;
            break;
        case Control::btn_open:
            handler = &TfrmMain::btn_openClick;
            break;
        case Control::btn_start:
            handler = &TfrmMain::btn_startClick;
            break;
        case Control::btn_outputdir:
            handler = &TfrmMain::btn_outputdirClick;
            break;
        case Control::btn_videopathhelp:
            handler = &TfrmMain::btn_videopathhelpClick;
            break;
        case Control::btn_flvplayerpath:
            handler = &TfrmMain::btn_flvplayerpathClick;
            break;
        default:
            break;
        }
    }
    if (handler)
        winui::runReportingErrors(m_hwnd, [this, handler] { (this->*handler)(); });
}

void TfrmMain::FormCreate()
{
    m_form.FormCreate();
}

void TfrmMain::FormShow()
{
    m_form.FormShow();
    InvalidateRect(m_hwnd, nullptr, TRUE); // the fields take their colour
}

void TfrmMain::btn_videofileClick()
{
    m_form.btn_videofileClick();
}
void TfrmMain::btn_thumbnailimageClick()
{
    m_form.btn_thumbnailimageClick();
}
void TfrmMain::btn_logoimageClick()
{
    m_form.btn_logoimageClick();
}
void TfrmMain::chk_thumbnailClick()
{
    m_form.chk_thumbnailClick();
}
void TfrmMain::chk_logoClick()
{
    m_form.chk_logoClick();
}
void TfrmMain::trc_logoalphaChange()
{
    m_form.trc_logoalphaChange();
}
void TfrmMain::btn_openClick()
{
    m_form.btn_openClick();
}
void TfrmMain::btn_startClick()
{
    m_form.btn_startClick();
}
void TfrmMain::btn_outputdirClick()
{
    m_form.btn_outputdirClick();
}
void TfrmMain::WebSite1Click()
{
    m_form.WebSite1Click();
}
void TfrmMain::NorvaneVidmorph1Click()
{
    m_form.NorvaneVidmorph1Click();
}
void TfrmMain::Help1Click()
{
    m_form.Help1Click();
}
void TfrmMain::btn_videopathhelpClick()
{
    m_form.btn_videopathhelpClick();
}
void TfrmMain::btn_flvplayerpathClick()
{
    m_form.btn_flvplayerpathClick();
}

winui::Control* TfrmMain::controlOf(Control control) const
{
    auto* self = const_cast<TfrmMain*>(this);
    switch (control) {
    case Control::edt_videofile:
        return &self->edt_videofile;
    case Control::btn_videofile:
        return &self->btn_videofile;
    case Control::cbb_videosize:
        return &self->cbb_videosize;
    case Control::chk_autoplay:
        return &self->chk_autoplay;
    case Control::chk_html5:
        return &self->chk_html5;
    case Control::edt_videopath:
        return &self->edt_videopath;
    case Control::btn_videopathhelp:
        return &self->btn_videopathhelp;
    case Control::edt_flvplayerpath:
        return &self->edt_flvplayerpath;
    case Control::btn_flvplayerpath:
        return &self->btn_flvplayerpath;
    case Control::chk_thumbnail:
        return &self->chk_thumbnail;
    case Control::chk_logo:
        return &self->chk_logo;
    case Control::edt_thumbnailimage:
        return &self->edt_thumbnailimage;
    case Control::btn_thumbnailimage:
        return &self->btn_thumbnailimage;
    case Control::edt_logoimage:
        return &self->edt_logoimage;
    case Control::btn_logoimage:
        return &self->btn_logoimage;
    case Control::trc_logoalpha:
        return &self->trc_logoalpha;
    case Control::lbl_position:
        return &self->lbl_position;
    case Control::rb_topleft:
        return &self->rb_topleft;
    case Control::rb_topright:
        return &self->rb_topright;
    case Control::rb_bottomleft:
        return &self->rb_bottomleft;
    case Control::rb_bottomright:
        return &self->rb_bottomright;
    case Control::edt_logolink:
        return &self->edt_logolink;
    case Control::edt_logowidth:
        return &self->edt_logowidth;
    case Control::btn_start:
        return &self->btn_start;
    case Control::edt_outputdir:
        return &self->edt_outputdir;
    case Control::btn_outputdir:
        return &self->btn_outputdir;
    case Control::btn_open:
        return &self->btn_open;
    }
    return nullptr;
}

std::string TfrmMain::controlText(Control control) const
{
    return controlOf(control)->text();
}

void TfrmMain::setControlText(Control control, const std::string& text)
{
    if (control == Control::lbl_position)
        lbl_position.setText(text); // refits the label to its caption
    else
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
    SetWindowTextW(m_hwnd, winui::wide(caption).c_str());
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
