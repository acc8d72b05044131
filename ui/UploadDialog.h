#pragma once

#include "form/UploadForm.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace vidlume::ui {

/// "Upload": a thin Qt view over form::UploadForm. Its controls carry object
/// names for the tests (cbb_sites, edt_folder, cbb_protocol, edt_host, spn_port,
/// edt_user, edt_remote, edt_public, cbb_auth, edt_key, edt_secret, chk_remember,
/// lbl_status, bar_progress, lbl_file, lbl_progress and the buttons btn_*).
class UploadDialog : public QDialog, private form::UploadFormView
{
    Q_OBJECT

public:
    UploadDialog(QWidget* parent, const std::string& folder);
    ~UploadDialog() override;

    /// The rules behind the dialog, for a test to set the launcher or the known-hosts file.
    form::UploadForm& form() { return m_form; }

    /// Closing while it sends stops the upload first; the dialog closes once
    /// the server is as it was (or resumable).
    void reject() override;

private:
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

    /// The fields that mean something for the protocol and login chosen.
    void showAuthentication();
    void tick();

    QComboBox* m_sites = nullptr;
    QLineEdit* m_folder = nullptr;
    QComboBox* m_protocol = nullptr;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_remote = nullptr;
    QLineEdit* m_public = nullptr;
    QComboBox* m_auth = nullptr;
    QLineEdit* m_key = nullptr;
    QPushButton* m_chooseKey = nullptr;
    QLabel* m_secretLabel = nullptr;
    QLineEdit* m_secret = nullptr;
    QCheckBox* m_remember = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_file = nullptr;
    QLabel* m_progress = nullptr;
    std::array<QPushButton*, 4> m_buttons{};
    QTimer* m_timer = nullptr;
    bool m_closeWhenStopped = false;
    form::UploadForm m_form; // last: its destructor waits for the worker while the widgets still exist
};

} // namespace vidlume::ui
