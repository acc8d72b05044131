#pragma once

#include "form/SiteForm.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>
#include <vector>

class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace vidlume::ui {

/// "Publish Many Videos": a thin Qt view over form::SiteForm. Its controls carry
/// object names for the tests (lst_sources, edt_site, lbl_summary, lst_videos,
/// bar_progress, lbl_progress, edt_leftout, spn_jobs and the buttons btn_*).
class SiteDialog : public QDialog, private form::SiteFormView
{
    Q_OBJECT

public:
    SiteDialog(QWidget* parent, const PageInputs& options, const std::vector<std::string>& sources);
    ~SiteDialog() override;

    /// The rules behind the dialog, for a test to set the launcher or the program folder.
    form::SiteForm& form() { return m_form; }

    /// Closing while the videos are published stops them first; the dialog
    /// closes once the finished ones are in the gallery.
    void reject() override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setSources(const std::vector<std::string>& sources) override;
    void setSiteFolder(const std::string& folder) override;
    void setSummary(const std::string& text) override;
    void setRows(const std::vector<form::SiteRow>& rows) override;
    void setRow(std::size_t row, const form::SiteRow& value) override;
    void setProgress(int barPosition, const std::string& text) override;
    void setLeftOut(const std::string& text) override;
    void enableControl(form::SiteControl control, bool enabled) override;
    void setJobs(unsigned jobs) override;
    std::optional<std::string> chooseFolder(const std::string& title) override;
    std::vector<std::string> chooseVideoFiles() override;

    void tick();

    QListWidget* m_sources = nullptr;
    QLineEdit* m_site = nullptr;
    QSpinBox* m_jobs = nullptr;
    QLabel* m_summary = nullptr;
    QTreeWidget* m_videos = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_progress = nullptr;
    QPlainTextEdit* m_leftOut = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_upload = nullptr;
    std::array<QWidget*, form::siteControlCount> m_controls{};
    QTimer* m_timer = nullptr;
    bool m_closeWhenStopped = false;
    form::SiteForm m_form; // last: its destructor waits for the worker while the widgets still exist
};

} // namespace vidlume::ui
