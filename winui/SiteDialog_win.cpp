#include "winui/SiteDialog_win.h"

#include "platform/win32/WinText.h"
#include "winui/Accessibility_win.h"
#include "winui/Button_win.h"
#include "winui/Clipboard_win.h"
#include "winui/DialogFocus_win.h"
#include "winui/Edit_win.h"
#include "winui/FolderBrowser_win.h"
#include "winui/ListBox_win.h"
#include "winui/ListView_win.h"
#include "winui/MessageBoxes_win.h"
#include "winui/ModalWindow_win.h"
#include "winui/ProgressBar_win.h"
#include "winui/StaticText_win.h"
#include "winui/TextBox_win.h"
#include "winui/UpDown_win.h"
#include "winui/UploadDialog_win.h"
#include "winui/WindowsError_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace vidlume::winui {

using form::SiteControl;
using platform::win32::toUtf8;

namespace {

constexpr int clientWidth = 600;
constexpr int clientHeight = 540;
constexpr int fontHeight = 11; // "MS Shell Dlg" at 8 points, as in the main window
constexpr int labelId = 2000;
constexpr UINT_PTR pollTimer = 1;
constexpr UINT pollMilliseconds = 100;

const DWORD windowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
const DWORD windowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

HFONT makeFont(UINT dpi)
{
    return CreateFontW(-scaled(fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"MS Shell Dlg");
}

/// The files of a multiple-selection open dialog's answer: a full path, or the
/// folder and then the names, each ended by a NUL.
std::vector<std::string> chosenFiles(const std::wstring& answer)
{
    std::vector<std::wstring> parts;
    for (std::size_t start = 0; start < answer.size() && answer[start] != L'\0';) {
        const std::size_t end = answer.find(L'\0', start);
        parts.push_back(answer.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> files;
    if (parts.size() == 1)
        files.push_back(toUtf8(parts[0]));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::wstring folder = parts[0];
        if (!folder.empty() && folder.back() != L'\\')
            folder += L'\\';
        files.push_back(toUtf8(folder + parts[i]));
    }
    return files;
}

} // namespace

SiteDialog::SiteDialog(HWND owner, const PageInputs& options, const std::vector<std::string>& sources)
    : m_owner(owner)
{
    registerModalWindowClass(siteDialogClass, &SiteDialog::procedure);

    const UINT dpi = GetDpiForWindow(owner);
    m_window = createModalWindow(owner, siteDialogClass, siteDialogCaption, windowStyle, windowExStyle, clientWidth,
                                 clientHeight, dpi);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DragAcceptFiles(m_window, TRUE);
    createControls();
    applyDpi(dpi);
    m_form = std::make_unique<form::SiteForm>(static_cast<form::SiteFormView&>(*this), options, sources);
}

SiteDialog::~SiteDialog()
{
    // The worker stops before the controls it reports to go.
    m_form.reset();
    if (m_window) {
        KillTimer(m_window, pollTimer);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    if (m_font)
        DeleteObject(m_font);
}

void SiteDialog::createControls()
{
    // Creation order is the Tab order; each label comes just before the control
    // it names, so that screen readers name that control by it and its access
    // key moves there.
    int nextLabelId = labelId;
    const auto label = [&](const Place& place, const char* caption) {
        auto text = std::make_unique<StaticText>();
        text->createLabel({m_window, nextLabelId++, place, caption});
        m_pieces.push_back(std::move(text));
    };
    const auto button = [&](int id, const Place& place, const char* caption, const char* name,
                            std::function<void()> onClick) {
        auto made = std::make_unique<Button>();
        made->create({m_window, id, place, caption});
        setAccessibleName(made->hwnd(), name, "");
        made->onClick = [this, onClick = std::move(onClick)] { runStep(onClick); };
        Button* result = made.get();
        m_pieces.push_back(std::move(made));
        return result;
    };
    const auto formButton = [&](SiteControl control, const Place& place, const char* caption,
                                const char* name, void (form::SiteForm::*step)()) {
        m_controls[std::size_t(control)] =
            button(siteControlId(control), place, caption, name, [this, step] { ((*m_form).*step)(); });
    };
    const auto own = [&](auto control) {
        auto* result = control.get();
        m_pieces.push_back(std::move(control));
        return result;
    };

    label({10, 12, 88, 13}, "S&ources:");
    m_sources = own(std::make_unique<ListBox>());
    m_sources->create({m_window, siteSourcesId, {100, 10, 380, 80}, ""});
    setAccessibleName(m_sources->hwnd(), "Sources", "The folders and FLV files to publish; drop more here");
    formButton(SiteControl::AddFolder, {490, 10, 100, 23}, "Add &Folder\u2026", "Add a folder of videos",
               &form::SiteForm::addFolderClick);
    formButton(SiteControl::AddFiles, {490, 37, 100, 23}, "Add F&iles\u2026", "Add FLV files",
               &form::SiteForm::addFilesClick);
    m_controls[std::size_t(SiteControl::RemoveSource)] =
        button(siteControlId(SiteControl::RemoveSource), {490, 64, 100, 23}, "&Remove",
               "Remove the selected source", [this] {
                   if (const auto row = m_sources->selected())
                       m_form->removeSource(*row);
               });

    label({10, 101, 88, 13}, "Si&te folder:");
    m_site = own(std::make_unique<Edit>());
    m_site->create({m_window, siteFolderId, {100, 98, 380, 21}, ""});
    setAccessibleName(m_site->hwnd(), "Site folder", "The folder the site is written to");
    formButton(SiteControl::ChooseSite, {490, 97, 100, 23}, "&Browse\u2026", "Choose the site folder",
               &form::SiteForm::chooseSiteClick);

    label({10, 129, 88, 13}, "&Jobs at a time:");
    m_jobs = own(std::make_unique<Edit>());
    m_jobs->create({m_window, siteJobsId, {100, 126, 56, 21}, "", ES_NUMBER});
    setAccessibleName(m_jobs->hwnd(), "Videos converted at a time", "");
    m_controls[std::size_t(SiteControl::Jobs)] = m_jobs;
    auto* arrows = own(std::make_unique<UpDown>());
    arrows->create({m_window, siteJobsArrowsId, {156, 126, 16, 21}, ""}, *m_jobs, 1, 256);
    setAccessibleName(arrows->hwnd(), "Videos converted at a time", "");

    auto* note = own(std::make_unique<StaticText>());
    note->create({m_window, siteOptionsNoteId, {10, 154, 580, 28}, form::SiteForm::optionsNote()});
    m_summary = own(std::make_unique<StaticText>());
    m_summary->create({m_window, siteSummaryId, {10, 186, 580, 28}, ""});

    label({10, 218, 100, 13}, "&Videos:");
    m_videos = own(std::make_unique<ListView>());
    m_videos->create({m_window, siteVideosId, {10, 233, 580, 150}, ""}, {{"Video", 220}, {"State", 0}});
    setAccessibleName(m_videos->hwnd(), "Videos", "");
    m_bar = own(std::make_unique<ProgressBar>());
    m_bar->create({m_window, siteBarId, {10, 392, 350, 16}, ""}, form::SiteForm::barSteps);
    setAccessibleName(m_bar->hwnd(), "Progress", "");
    m_timeLeft = own(std::make_unique<StaticText>());
    m_timeLeft->create({m_window, siteTimeLeftId, {370, 393, 220, 14}, ""});
    setAccessibleName(m_timeLeft->hwnd(), "Time left", "");

    label({10, 416, 100, 13}, "L&eft out:");
    m_leftOut = own(std::make_unique<TextBox>());
    m_leftOut->create({m_window, siteLeftOutId, {10, 431, 495, 64}, ""});
    setAccessibleName(m_leftOut->hwnd(), "Videos left out", "");
    m_copy = button(siteCopyId, {515, 431, 75, 23}, "Cop&y", "Copy the videos left out",
                    [this] { copyLeftOut(); });
    m_copy->setEnabled(false);

    formButton(SiteControl::Start, {10, 507, 75, 23}, "&Publish", "Publish the videos",
               &form::SiteForm::startClick);
    formButton(SiteControl::Cancel, {90, 507, 75, 23}, "&Cancel", "Cancel the publishing",
               &form::SiteForm::cancelClick);
    formButton(SiteControl::OpenGallery, {185, 507, 140, 23}, "Open &Gallery in Browser",
               "Open the gallery in the browser", &form::SiteForm::openGalleryClick);
    formButton(SiteControl::OpenSiteFolder, {330, 507, 100, 23}, "Open &Site Folder", "Open the site folder",
               &form::SiteForm::openSiteFolderClick);
    m_upload = button(siteUploadId, {435, 507, 75, 23}, "&Upload\u2026", "Upload the site to your web server",
                      [this] { runUploadDialog(m_window, m_form->siteFolder()); });
    m_upload->setEnabled(false);
    button(siteCloseId, {515, 507, 75, 23}, "C&lose", "Close", [this] { cancelOrClose(); });
}

void SiteDialog::applyDpi(UINT dpi)
{
    HFONT old = m_font;
    m_font = makeFont(dpi);
    SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    for (const auto& control : m_pieces)
        control->applyDpi(dpi, m_font);
    if (old)
        DeleteObject(old);
}

void SiteDialog::run()
{
    runStep([this] { m_form->show(); });
    ShowWindow(m_window, SW_SHOW);
    SetTimer(m_window, pollTimer, pollMilliseconds, nullptr);
    // The keyboard starts at the first thing to do: the sources, or Publish when they are given.
    Control* first = m_controls[std::size_t(SiteControl::Start)];
    if (!first->isEnabled())
        first = m_form->sources().empty() ? static_cast<Control*>(m_sources) : m_site;
    first->focus();

    // The owner takes no input while the dialog is open, as under a modal dialog.
    runModalLoop(m_window, m_owner, m_closed, [this] { m_form->cancelClick(); });
}

void SiteDialog::runStep(const std::function<void()>& step)
{
    runReportingErrors(m_window, step);
}

LRESULT CALLBACK SiteDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<SiteDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT SiteDialog::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; Control::route(message, wParam, lParam, result))
        return result;
    if (!m_form) // the controls are still being made
        return DefWindowProcW(m_window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == pollTimer)
            tick();
        return 0;
    case WM_DROPFILES: {
        const auto drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> paths;
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(std::size_t(DragQueryFileW(drop, i, nullptr, 0)) + 1, L'\0');
            path.resize(DragQueryFileW(drop, i, path.data(), UINT(path.size())));
            paths.push_back(toUtf8(path));
        }
        DragFinish(drop);
        runStep([this, &paths] { m_form->addSources(paths); });
        return 0;
    }
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_NEXTDLGCTL: // a label's access key, from IsDialogMessage
        moveDialogFocus(m_window, wParam, lParam);
        return 0;
    case WM_CLOSE:
        cancelOrClose();
        return 0;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

void SiteDialog::command(int id, WORD code)
{
    if (id == IDCANCEL) { // Escape
        cancelOrClose();
    } else if (id == IDOK) {
        // Enter: a focused push button is clicked, as Space would; in the site
        // field the folder typed is taken.
        HWND focused = GetFocus();
        if (focused == m_site->hwnd())
            runStep([this] { m_form->setSiteFolder(m_site->text()); });
        else if (focused &&
                 (SendMessageW(focused, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            SendMessageW(focused, BM_CLICK, 0, 0);
    } else if (id == siteFolderId && code == EN_KILLFOCUS) {
        runStep([this] { m_form->setSiteFolder(m_site->text()); });
    } else if (id == siteJobsId && code == EN_CHANGE && !m_showingJobs) {
        const std::string typed = m_jobs->text();
        if (!typed.empty() && typed.size() < 4)
            m_form->setJobs(unsigned(std::stoul(typed)));
    }
}

void SiteDialog::cancelOrClose()
{
    if (m_form->phase() == form::SitePhase::Running) {
        runStep([this] { m_form->cancelClick(); });
        m_closing = true;
        return;
    }
    m_closed = true;
    PostMessageW(m_window, WM_NULL, 0, 0); // the loop sees it at once
}

void SiteDialog::tick()
{
    runStep([this] { m_form->poll(); });
    if (m_closing && m_form->phase() != form::SitePhase::Running)
        cancelOrClose();
}

void SiteDialog::copyLeftOut()
{
    copyTextToClipboard(m_window, m_leftOutText);
}

void SiteDialog::setSources(const std::vector<std::string>& sources)
{
    m_sources->setItems(sources);
}

void SiteDialog::setSiteFolder(const std::string& folder)
{
    if (m_site->text() != folder)
        m_site->setText(folder);
}

void SiteDialog::setSummary(const std::string& text)
{
    m_summary->setText(text);
}

void SiteDialog::setRows(const std::vector<form::SiteRow>& rows)
{
    std::vector<std::vector<std::string>> cells;
    for (const form::SiteRow& row : rows)
        cells.push_back({row.name, row.state});
    m_videos->setRows(cells);
}

void SiteDialog::setRow(std::size_t row, const form::SiteRow& value)
{
    m_videos->setCell(row, 0, value.name);
    m_videos->setCell(row, 1, value.state);
}

void SiteDialog::setProgress(int barPosition, const std::string& text)
{
    m_bar->setPosition(barPosition);
    m_timeLeft->setText(text);
}

void SiteDialog::setLeftOut(const std::string& text)
{
    m_leftOutText = text;
    m_leftOut->setText(text);
    m_copy->setEnabled(!text.empty());
}

void SiteDialog::enableControl(SiteControl control, bool enabled)
{
    Control* target = m_controls[std::size_t(control)];
    // A control that goes grey under the keyboard's focus hands it on, so that
    // the keys still reach the dialog (Publish to Cancel, Cancel to the list).
    if (!enabled && GetFocus() == target->hwnd())
        SetFocus(GetNextDlgTabItem(m_window, target->hwnd(), FALSE));
    target->setEnabled(enabled);
    if (control == SiteControl::ChooseSite)
        m_site->setEnabled(enabled);
    if (control == SiteControl::Jobs)
        EnableWindow(GetDlgItem(m_window, siteJobsArrowsId), enabled);
    if (control == SiteControl::OpenSiteFolder)
        m_upload->setEnabled(enabled); // a site is there to send
}

void SiteDialog::setJobs(unsigned jobs)
{
    m_showingJobs = true;
    m_jobs->setText(std::to_string(jobs));
    m_showingJobs = false;
}

std::optional<std::string> SiteDialog::chooseFolder(const std::string& title)
{
    return browseForFolder(m_window, title);
}

std::vector<std::string> SiteDialog::chooseVideoFiles()
{
    static const wchar_t filter[] = L"Flash Video (*.flv)\0*.flv\0";
    std::wstring answer(65536, L'\0'); // room for many names
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_window;
    dialog.lpstrFilter = filter;
    dialog.lpstrTitle = L"Add FLV Files";
    dialog.lpstrFile = answer.data();
    dialog.nMaxFile = DWORD(answer.size());
    dialog.Flags =
        OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ALLOWMULTISELECT;
    if (!GetOpenFileNameW(&dialog))
        return {};
    return chosenFiles(answer);
}

void runSiteDialog(HWND owner, const PageInputs& options, const std::vector<std::string>& sources)
{
    SiteDialog dialog(owner, options, sources);
    dialog.run();
}

} // namespace vidlume::winui
