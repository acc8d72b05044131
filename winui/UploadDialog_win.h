#pragma once

#include "form/UploadForm.h"
#include "winui/Control_win.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::winui {

class CheckBox;
class ComboBox;
class Edit;
class ProgressBar;
class StaticText;
class TextBox;

/// The child window ids of the "Upload" dialog (GetDlgItem finds them): the
/// buttons whose enabling the form decides, then the others.
constexpr int uploadButtonId(form::UploadButton button)
{
    return 1300 + int(button);
}
enum UploadDialogId : int
{
    uploadRecentId = 1200,
    uploadFolderId,
    uploadChooseFolderId,
    uploadProtocolId,
    uploadHostId,
    uploadPortId,
    uploadUserId,
    uploadRemoteId,
    uploadPublicId,
    uploadAuthId,
    uploadKeyId,
    uploadChooseKeyId,
    uploadSecretId,
    uploadRememberId,
    uploadStatusId,
    uploadBarId,
    uploadFileId,
    uploadProgressId,
    uploadCloseId,
};

/// The window class and caption of the dialog, for whoever looks for it.
inline constexpr const wchar_t* uploadDialogClass = L"VidlumeUpload";
inline constexpr const wchar_t* uploadDialogCaption = L"Upload";

/// "Upload" as a Win32 window: a thin view over form::UploadForm, modal over
/// its owner. Its controls lie at places fixed at 96 DPI and scaled to the
/// screen's; a timer shows what the form's worker has done.
class UploadDialog final : private form::UploadFormView
{
public:
    UploadDialog(HWND owner, const std::string& folder);
    ~UploadDialog() override;
    UploadDialog(const UploadDialog&) = delete;
    UploadDialog& operator=(const UploadDialog&) = delete;

    /// Shows the dialog and returns when it is closed; the owner takes no input meanwhile.
    void run();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void applyDpi(UINT dpi);
    void runStep(const std::function<void()>& step);
    void command(int id, WORD code);
    /// Escape, Close and the close box: an upload is stopped first, and the
    /// dialog closes once the server is as it was.
    void cancelOrClose();
    void tick();
    /// The fields that mean something for the protocol and login chosen.
    void showAuthentication();
    void chooseKeyFile();

    // The dialog as the form sees it.
    std::string folder() const override;
    void setFolder(const std::string& folder) override;
    form::UploadTarget target() const override;
    std::string secret() const override;
    bool rememberSecret() const override;
    void setTarget(const form::UploadTarget& target) override;
    void enableButton(form::UploadButton button, bool enabled) override;
    void setStatus(const std::string& text) override;
    void setProgress(int barPosition, const std::string& file, const std::string& text) override;
    bool confirmHostKey(const std::string& text) override;
    void copyToClipboard(const std::string& text) override;
    std::optional<std::string> chooseFolder() override;
    void setRecentSites(const std::vector<std::string>& addresses) override;

    HWND m_owner;
    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    bool m_closing = false; // closes once the upload has stopped
    bool m_closed = false;
    bool m_filling = false; // the form fills the fields: no change to hand back
    std::vector<std::unique_ptr<Control>> m_pieces; // every control, in the Tab order
    std::array<Control*, 4> m_buttons{};
    ComboBox* m_recent = nullptr;
    Edit* m_folder = nullptr;
    ComboBox* m_protocol = nullptr;
    Edit* m_host = nullptr;
    Edit* m_port = nullptr;
    Edit* m_user = nullptr;
    Edit* m_remote = nullptr;
    Edit* m_public = nullptr;
    ComboBox* m_auth = nullptr;
    Edit* m_key = nullptr;
    Control* m_chooseKey = nullptr;
    StaticText* m_secretLabel = nullptr;
    Edit* m_secret = nullptr;
    CheckBox* m_remember = nullptr;
    TextBox* m_status = nullptr;
    ProgressBar* m_bar = nullptr;
    StaticText* m_file = nullptr;
    StaticText* m_progress = nullptr;
    std::unique_ptr<form::UploadForm> m_form; // made with the window; its end waits for the worker
};

/// Runs the dialog over owner for this folder (empty: the user chooses one there).
void runUploadDialog(HWND owner, const std::string& folder);

} // namespace vidlume::winui
