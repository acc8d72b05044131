#pragma once

#include "form/Control.h"
#include "form/MainForm.h"
#include "form/MainFormLayout.h"
#include "form/MainFormView.h"
#include "ui/PublishWithProgress.h"

#include <QMainWindow>

#include <array>
#include <map>
#include <optional>
#include <string>

class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenuBar;
class QPushButton;

namespace vidlume::platform {
class Launcher;
}
namespace vidlume::ui {
class OpenDialog;
}

/// The main window: the pieces of form/MainFormLayout made with Qt's widgets, each
/// with its component name as its objectName, the menu bar, and a status line for
/// what the last generation made. The rules and the handlers' steps are the form's
/// (form/MainForm.h).
class TfrmMain : public QMainWindow, private vidlume::form::MainFormView
{
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // What the window reaches outside itself; the real things unless a test sets others.
    void setLauncher(vidlume::platform::Launcher* launcher)
    {
        m_form.setLauncher(launcher);
        m_launcher = launcher;
    }
    void setPublisher(vidlume::ui::PublishFunction publish) { m_publish = std::move(publish); }
    void setProgramFolder(std::string folder) { m_programFolder = std::move(folder); }

    /// Files handed over other than with "Browse" (dropped on the window, named at
    /// start): the first video among them is shown, and "Generate HTML Code"
    /// enabled when it exists.
    void openVideos(const std::vector<std::string>& paths);

    /// The rules the window shows, for a test that runs a handler as a disabled
    /// control cannot.
    vidlume::form::MainForm& form() { return m_form; }

    /// Whether a generation runs (its progress loop is on the stack).
    bool generating() const { return m_generating; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenu();
    void nameControls();
    void createStatusLine();
    /// Colours the fields that take no typing after the window's palette.
    void colourFields();
    void centreOnDesktop();
    /// Runs a piece's handler inside the general error report.
    void runHandler(vidlume::form::Handler handler);

    // The window as the form sees it.
    QWidget* widgetOf(vidlume::form::Control control) const { return m_controls[std::size_t(control)]; }
    std::string controlText(vidlume::form::Control control) const override;
    void setControlText(vidlume::form::Control control, const std::string& text) override;
    bool controlChecked(vidlume::form::Control control) const override;
    int controlPosition(vidlume::form::Control control) const override;
    void enableControl(vidlume::form::Control control, bool enabled) override;
    void setControlReadOnly(vidlume::form::Control control, bool readOnly) override;
    void focusControl(vidlume::form::Control control) override;
    void setCaption(const std::string& caption) override;
    void showWarning(const std::string& text) override;
    std::optional<std::string> runOpenDialog(const std::vector<vidlume::form::FileFilter>& filters) override;
    std::optional<std::string> runFolderChooser() override;
    vidlume::PublishResult publishWithProgress(const vidlume::PageInputs& inputs) override;
    void showPublished(const std::string& folder) override;
    void showStatus(const std::string& text) override;
    void runSiteDialog(const std::vector<std::string>& sources, const vidlume::PageInputs& options) override;
    void runUploadDialog(const std::string& folder) override;

    // Every piece by its component name, and the form's controls by their number.
    std::map<std::string, QWidget*> m_pieces;
    std::array<QWidget*, vidlume::form::controlCount> m_controls{};
    // The fields whose typed characters pass a filter first.
    std::map<const QObject*, char32_t (*)(char32_t)> m_keyFilters;
    vidlume::ui::OpenDialog* OpenDialog1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;

    vidlume::form::MainForm m_form{*this};
    vidlume::ui::PublishFunction m_publish;
    std::string m_programFolder;
    vidlume::platform::Launcher* m_launcher = nullptr;
    bool m_centred = false;
    // The status line: what the last generation made, and what to do with it.
    QLabel* m_published = nullptr;
    QPushButton* m_openPage = nullptr;
    QPushButton* m_copyAddress = nullptr;
    QPushButton* m_upload = nullptr;
    std::string m_publishedFolder;
    bool m_generating = false;
};

/// The one main window.
extern TfrmMain* frmMain;
