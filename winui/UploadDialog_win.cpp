#include "winui/UploadDialog_win.h"

#include "platform/win32/WinText.h"
#include "winui/Accessibility_win.h"
#include "winui/Button_win.h"
#include "winui/CheckBox_win.h"
#include "winui/Clipboard_win.h"
#include "winui/DialogFocus_win.h"
#include "winui/ComboBox_win.h"
#include "winui/Edit_win.h"
#include "winui/FolderBrowser_win.h"
#include "winui/MessageBoxes_win.h"
#include "winui/ModalWindow_win.h"
#include "winui/ProgressBar_win.h"
#include "winui/StaticText_win.h"
#include "winui/TextBox_win.h"
#include "winui/WindowsError_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <span>

namespace vidlume::winui {

using form::UploadAuth;
using form::UploadButton;
using form::UploadProtocol;
using platform::win32::toUtf8;
using platform::win32::toWide;

namespace {

constexpr int clientWidth = 560;
constexpr int clientHeight = 457;
constexpr int fontHeight = 11; // "MS Shell Dlg" at 8 points, as in the main window
constexpr int labelId = 2000;
constexpr UINT_PTR pollTimer = 1;
constexpr UINT pollMilliseconds = 100;
// The fields' column, right of their labels.
constexpr int fieldLeft = 145;
constexpr int fieldWidth = 405;
constexpr int fieldBesideButton = 320;

const DWORD windowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
const DWORD windowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

HFONT makeFont(UINT dpi)
{
    return CreateFontW(-scaled(fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"MS Shell Dlg");
}

/// The port field's number; empty or out of range is 0, the protocol's own.
int portOf(const std::string& typed)
{
    if (typed.empty() || typed.size() > 5 || !std::all_of(typed.begin(), typed.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return 0;
    const int port = std::atoi(typed.c_str());
    return port <= 65535 ? port : 0;
}

} // namespace

UploadDialog::UploadDialog(HWND owner, const std::string& folder)
    : m_owner(owner)
{
    registerModalWindowClass(uploadDialogClass, &UploadDialog::procedure);

    const UINT dpi = GetDpiForWindow(owner);
    m_window = createModalWindow(owner, uploadDialogClass, uploadDialogCaption, windowStyle, windowExStyle, clientWidth,
                                 clientHeight, dpi);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    createControls();
    applyDpi(dpi);
    m_form = std::make_unique<form::UploadForm>(static_cast<form::UploadFormView&>(*this), folder,
                                                form::UploadTarget());
}

UploadDialog::~UploadDialog()
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

void UploadDialog::createControls()
{
    // Creation order is the Tab order; each label comes just before the control
    // it names, so that screen readers name that control by it and its access
    // key moves there.
    int nextLabelId = labelId;
    const auto label = [&](const Place& place, const char* caption) {
        auto text = std::make_unique<StaticText>();
        text->createLabel({m_window, nextLabelId++, place, caption});
        StaticText* result = text.get();
        m_pieces.push_back(std::move(text));
        return result;
    };
    const auto own = [&](auto control) {
        auto* result = control.get();
        m_pieces.push_back(std::move(control));
        return result;
    };
    const auto field = [&](int id, const Place& place, const char* name, DWORD style = 0) {
        Edit* edit = own(std::make_unique<Edit>());
        edit->create({m_window, id, place, "", style});
        setAccessibleName(edit->hwnd(), name, "");
        return edit;
    };
    const auto list = [&](int id, int top, std::span<const char* const> items, const char* name) {
        ComboBox* box = own(std::make_unique<ComboBox>());
        box->createList({m_window, id, {fieldLeft, top, fieldWidth, 21}, ""}, items);
        setAccessibleName(box->hwnd(), name, "");
        return box;
    };
    const auto button = [&](int id, const Place& place, const char* caption, const char* name,
                            std::function<void()> onClick) {
        auto made = std::make_unique<Button>();
        made->create({m_window, id, place, caption});
        setAccessibleName(made->hwnd(), name, "");
        made->onClick = [this, onClick = std::move(onClick)] { runStep(onClick); };
        return own(std::move(made));
    };
    const auto formButton = [&](UploadButton which, const Place& place, const char* caption, const char* name,
                                void (form::UploadForm::*step)()) {
        m_buttons[std::size_t(which)] =
            button(uploadButtonId(which), place, caption, name, [this, step] { ((*m_form).*step)(); });
    };

    label({10, 13, 130, 13}, "Sites use&d before:");
    m_recent = list(uploadRecentId, 10, {}, "Sites used before");
    m_recent->setEnabled(false); // until there are some

    label({10, 41, 130, 13}, "&Folder:");
    m_folder = field(uploadFolderId, {fieldLeft, 38, fieldBesideButton, 21}, "Folder to upload");
    button(uploadChooseFolderId, {475, 37, 75, 23}, "&Browse\u2026", "Choose the folder to upload",
           [this] { m_form->chooseFolderClick(); });

    static const char* const protocols[] = {"SFTP (SSH)", "FTPS (FTP with TLS)", "WebDAV (HTTPS)"};
    label({10, 69, 130, 13}, "P&rotocol:");
    m_protocol = list(uploadProtocolId, 66, protocols, "Protocol");

    label({10, 97, 130, 13}, "&Server:");
    m_host = field(uploadHostId, {fieldLeft, 94, 245, 21}, "Server");
    label({400, 97, 40, 13}, "Por&t:");
    m_port = field(uploadPortId, {445, 94, 105, 21}, "Port", ES_NUMBER);
    m_port->setPlaceholder("default");

    label({10, 125, 130, 13}, "U&ser name:");
    m_user = field(uploadUserId, {fieldLeft, 122, fieldWidth, 21}, "User name");
    label({10, 153, 130, 13}, "Folder on the ser&ver:");
    m_remote = field(uploadRemoteId, {fieldLeft, 150, fieldWidth, 21}, "Folder on the server");
    m_remote->setPlaceholder("e.g. /var/www/clips; without a leading / inside your home folder");
    label({10, 181, 130, 13}, "&Web address:");
    m_public = field(uploadPublicId, {fieldLeft, 178, fieldWidth, 21}, "Web address of that folder (optional)");
    m_public->setPlaceholder("e.g. https://example.org/clips/ (optional)");

    static const char* const logins[] = {"Password", "SSH key", "SSH agent"};
    label({10, 209, 130, 13}, "Log &in with:");
    m_auth = list(uploadAuthId, 206, logins, "Log in with");
    label({10, 237, 130, 13}, "SSH &key:");
    m_key = field(uploadKeyId, {fieldLeft, 234, fieldBesideButton, 21}, "SSH key file");
    m_chooseKey = button(uploadChooseKeyId, {475, 233, 75, 23}, "Br&owse\u2026", "Choose the SSH key file",
                         [this] { chooseKeyFile(); });
    m_secretLabel = label({10, 265, 130, 13}, "P&assword:");
    m_secret = field(uploadSecretId, {fieldLeft, 262, fieldWidth, 21}, "Password", ES_PASSWORD);
    m_remember = own(std::make_unique<CheckBox>());
    m_remember->create({m_window, uploadRememberId, {fieldLeft, 288, fieldWidth, 17},
                        "R&emember the password in the Credential Manager"});
    setAccessibleName(m_remember->hwnd(), "Remember the password in the Credential Manager", "");

    label({10, 311, 130, 13}, "Status:");
    m_status = own(std::make_unique<TextBox>());
    m_status->create({m_window, uploadStatusId, {10, 326, 540, 46}, ""});
    setAccessibleName(m_status->hwnd(), "Status", "");
    m_bar = own(std::make_unique<ProgressBar>());
    m_bar->create({m_window, uploadBarId, {10, 380, 540, 16}, ""}, form::UploadForm::barSteps);
    setAccessibleName(m_bar->hwnd(), "Progress", "");
    m_file = own(std::make_unique<StaticText>());
    m_file->create({m_window, uploadFileId, {10, 402, 285, 14}, "", SS_PATHELLIPSIS});
    setAccessibleName(m_file->hwnd(), "File being sent", "");
    m_progress = own(std::make_unique<StaticText>());
    m_progress->create({m_window, uploadProgressId, {300, 402, 250, 14}, "", SS_RIGHT});
    setAccessibleName(m_progress->hwnd(), "Bytes, rate and time left", "");

    formButton(UploadButton::Upload, {10, 424, 75, 23}, "&Upload", "Upload the folder",
               &form::UploadForm::uploadClick);
    formButton(UploadButton::Cancel, {90, 424, 75, 23}, "&Cancel", "Cancel the upload",
               &form::UploadForm::cancelClick);
    formButton(UploadButton::OpenPage, {220, 424, 130, 23}, "Open Published &Page",
               "Open the published page in the browser", &form::UploadForm::openPageClick);
    formButton(UploadButton::CopyAddress, {355, 424, 115, 23}, "Cop&y Page Address",
               "Copy the published page's address", &form::UploadForm::copyAddressClick);
    button(uploadCloseId, {475, 424, 75, 23}, "C&lose", "Close", [this] { cancelOrClose(); });
}

void UploadDialog::applyDpi(UINT dpi)
{
    HFONT old = m_font;
    m_font = makeFont(dpi);
    SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    for (const auto& control : m_pieces)
        control->applyDpi(dpi, m_font);
    if (old)
        DeleteObject(old);
}

void UploadDialog::run()
{
    runStep([this] { m_form->show(); });
    ShowWindow(m_window, SW_SHOW);
    SetTimer(m_window, pollTimer, pollMilliseconds, nullptr);
    // The keyboard starts at the first field to fill in.
    (m_folder->text().empty() ? m_folder : m_host)->focus();

    // The owner takes no input while the dialog is open, as under a modal dialog.
    runModalLoop(m_window, m_owner, m_closed, [this] { m_form->cancelClick(); });
}

void UploadDialog::runStep(const std::function<void()>& step)
{
    runReportingErrors(m_window, step);
}

LRESULT CALLBACK UploadDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<UploadDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT UploadDialog::handle(UINT message, WPARAM wParam, LPARAM lParam)
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

void UploadDialog::command(int id, WORD code)
{
    if (id == IDCANCEL) { // Escape
        cancelOrClose();
    } else if (id == IDOK) {
        // Enter: a focused push button is clicked, as Space would; in a field
        // it starts the upload once there is one to start.
        HWND focused = GetFocus();
        if (focused &&
            (SendMessageW(focused, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            SendMessageW(focused, BM_CLICK, 0, 0);
        else if (m_buttons[std::size_t(UploadButton::Upload)]->isEnabled())
            runStep([this] { m_form->uploadClick(); });
    } else if ((id == uploadFolderId || id == uploadHostId) && code == EN_CHANGE) {
        m_form->targetChanged();
    } else if ((id == uploadProtocolId || id == uploadAuthId) && code == CBN_SELCHANGE) {
        showAuthentication();
    } else if (id == uploadRecentId && code == CBN_SELCHANGE) {
        if (const int chosen = m_recent->selected(); chosen >= 0)
            runStep([this, chosen] { m_form->recentSiteChosen(std::size_t(chosen)); });
    }
}

void UploadDialog::showAuthentication()
{
    const bool ssh = m_protocol->selected() == int(UploadProtocol::Sftp);
    if (!ssh)
        m_auth->select(int(UploadAuth::Password)); // FTPS and WebDAV log in with a password
    m_auth->setEnabled(ssh);
    const auto auth = UploadAuth(std::max(0, m_auth->selected()));
    m_key->setEnabled(auth == UploadAuth::KeyFile);
    m_chooseKey->setEnabled(auth == UploadAuth::KeyFile);
    m_secret->setEnabled(auth != UploadAuth::Agent);
    m_remember->setEnabled(auth != UploadAuth::Agent);
    if (auth == UploadAuth::Agent)
        m_remember->setChecked(false);
    const bool passphrase = auth == UploadAuth::KeyFile;
    const char* remember = passphrase ? "Remember the passphrase in the Credential Manager"
                                      : "Remember the password in the Credential Manager";
    m_remember->setText(std::string("R&") + (remember + 1));
    setAccessibleName(m_remember->hwnd(), remember, "");
    m_secretLabel->setText(passphrase ? "P&assphrase:" : "P&assword:");
    setAccessibleName(m_secret->hwnd(), passphrase ? "Passphrase of the SSH key" : "Password", "");
}

void UploadDialog::cancelOrClose()
{
    if (m_form->phase() == form::UploadPhase::Sending) {
        runStep([this] { m_form->cancelClick(); });
        m_closing = true;
        return;
    }
    m_closed = true;
    PostMessageW(m_window, WM_NULL, 0, 0); // the loop sees it at once
}

void UploadDialog::tick()
{
    runStep([this] { m_form->poll(); });
    if (m_closing && m_form->phase() != form::UploadPhase::Sending)
        cancelOrClose();
}

void UploadDialog::chooseKeyFile()
{
    // The dialog starts at the file typed so far.
    std::wstring answer = toWide(m_key->text());
    answer.resize(std::max<std::size_t>(answer.size() + 1, MAX_PATH * 8), L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_window;
    dialog.lpstrTitle = L"SSH Key";
    dialog.lpstrFile = answer.data();
    dialog.nMaxFile = DWORD(answer.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog))
        return;
    answer.resize(wcslen(answer.c_str()));
    m_key->setText(toUtf8(answer));
}

std::string UploadDialog::folder() const
{
    return m_folder->text();
}

void UploadDialog::setFolder(const std::string& folder)
{
    m_folder->setText(folder);
}

form::UploadTarget UploadDialog::target() const
{
    form::UploadTarget target;
    target.protocol = UploadProtocol(std::max(0, m_protocol->selected()));
    target.host = m_host->text();
    target.port = portOf(m_port->text());
    target.user = m_user->text();
    target.remoteFolder = m_remote->text();
    target.publicUrl = m_public->text();
    target.auth = UploadAuth(std::max(0, m_auth->selected()));
    target.keyFile = m_key->text();
    return target;
}

std::string UploadDialog::secret() const
{
    return m_secret->isEnabled() ? m_secret->text() : std::string();
}

bool UploadDialog::rememberSecret() const
{
    return m_remember->isChecked();
}

void UploadDialog::setTarget(const form::UploadTarget& target)
{
    m_protocol->select(int(target.protocol));
    m_host->setText(target.host);
    m_port->setText(target.port > 0 ? std::to_string(target.port) : std::string());
    m_user->setText(target.user);
    m_remote->setText(target.remoteFolder);
    m_public->setText(target.publicUrl);
    m_auth->select(int(target.auth));
    m_key->setText(target.keyFile);
    showAuthentication();
}

void UploadDialog::enableButton(UploadButton which, bool enabled)
{
    Control* target = m_buttons[std::size_t(which)];
    // A button that goes grey under the keyboard's focus hands it on, so that
    // the keys still reach the dialog (Upload to Cancel, Cancel to the next).
    if (!enabled && GetFocus() == target->hwnd())
        SetFocus(GetNextDlgTabItem(m_window, target->hwnd(), FALSE));
    target->setEnabled(enabled);
}

void UploadDialog::setStatus(const std::string& text)
{
    m_status->setText(text);
}

void UploadDialog::setProgress(int barPosition, const std::string& file, const std::string& text)
{
    m_bar->setPosition(barPosition);
    m_file->setText(file);
    m_progress->setText(text);
}

bool UploadDialog::confirmHostKey(const std::string& text)
{
    return MessageBoxW(m_window, toWide(text).c_str(), L"Unknown Server",
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void UploadDialog::copyToClipboard(const std::string& text)
{
    copyTextToClipboard(m_window, text);
}

std::optional<std::string> UploadDialog::chooseFolder()
{
    return browseForFolder(m_window, "Folder to Upload");
}

void UploadDialog::setRecentSites(const std::vector<std::string>& addresses)
{
    m_recent->setItems(addresses);
    m_recent->setEnabled(!addresses.empty());
}

void runUploadDialog(HWND owner, const std::string& folder)
{
    UploadDialog dialog(owner, folder);
    dialog.run();
}

} // namespace vidlume::winui
