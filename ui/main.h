#pragma once

#include "form/MainForm.h"
#include "form/MainFormView.h"
#include "ui/PublishWithProgress.h"

#include <QMainWindow>

#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSlider;

namespace vidlume::platform {
class Launcher;
}
namespace vidlume::ui {
class OpenDialog;
}

/// The main window: every input of a generation, "Generate HTML Code", the output
/// folder, and the menu and help commands. Every control carries its handler's
/// component name as its objectName. The rules and the handlers' steps are the
/// form's (form/MainForm.h); this window shows them with Qt's widgets.
class TfrmMain : public QMainWindow, private vidlume::form::MainFormView
{
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // What the window reaches outside itself; the real things unless a test sets others.
    void setLauncher(vidlume::platform::Launcher* launcher) { m_form.setLauncher(launcher); }
    void setPublisher(vidlume::ui::PublishFunction publish) { m_publish = std::move(publish); }
    void setProgramFolder(std::string folder) { m_programFolder = std::move(folder); }

    /// A video chosen other than with "Browse" (dropped on the window, named at
    /// start): shown, and "Generate HTML Code" enabled when the file exists.
    void openVideo(const std::string& path);

    // Handlers. Each runs inside the general error report.
    void FormCreate();
    void FormShow();
    void btn_videofileClick();
    void btn_thumbnailimageClick();
    void btn_logoimageClick();
    void chk_thumbnailClick();
    void chk_logoClick();
    void trc_logoalphaChange();
    /// The key filter of the logo width field: replaces a refused character by 0.
    void edt_logowidthKeyPress(QChar& Key);
    void btn_openClick();
    void btn_startClick();
    void btn_outputdirClick();
    void WebSite1Click();
    void NorvaneVidmorph1Click();
    void Help1Click();
    void btn_videopathhelpClick();
    void btn_flvplayerpathClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenu();
    void arrangeTabOrder();
    void nameControls();
    void createStatusLine();
    void showPublished(const std::string& folder);
    /// Colours the fields that take no typing after the window's palette.
    void colourFields();
    void connectHandlers();
    template <typename Sender, typename Signal>
    void connectHandler(Sender* sender, Signal signal, void (TfrmMain::*handler)());
    void centreOnDesktop();

    // The window as the form sees it.
    QWidget* widgetOf(vidlume::form::Control control) const;
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
    std::string runFolderChooser() override;
    vidlume::PublishResult publishWithProgress(const vidlume::PageInputs& inputs) override;

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label9;
    QLineEdit* edt_videofile;
    QPushButton* btn_videofile;
    QComboBox* cbb_videosize;
    QCheckBox* chk_autoplay;
    QCheckBox* chk_html5;
    QLineEdit* edt_videopath;
    QPushButton* btn_videopathhelp;
    QLineEdit* edt_flvplayerpath;
    QPushButton* btn_flvplayerpath;

    QGroupBox* GroupBox2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label6;
    QLabel* lbl_position;
    QLabel* Label8;
    QCheckBox* chk_thumbnail;
    QCheckBox* chk_logo;
    QLineEdit* edt_thumbnailimage;
    QPushButton* btn_thumbnailimage;
    QLineEdit* edt_logoimage;
    QPushButton* btn_logoimage;
    QSlider* trc_logoalpha;
    QGroupBox* GroupBox3;
    QRadioButton* rb_topleft;
    QRadioButton* rb_topright;
    QRadioButton* rb_bottomleft;
    QRadioButton* rb_bottomright;
    QLineEdit* edt_logolink;
    QLineEdit* edt_logowidth;

    QLabel* Label10;
    QPushButton* btn_start;
    QLineEdit* edt_outputdir;
    QPushButton* btn_outputdir;
    QPushButton* btn_open;

    vidlume::ui::OpenDialog* OpenDialog1;
    QMenuBar* MainMenu1;
    QAction* WebSite1;
    QAction* NorvaneVidmorph1;
    QAction* Help1;

    vidlume::form::MainForm m_form{*this};
    vidlume::ui::PublishFunction m_publish;
    std::string m_programFolder;
    bool m_centred = false;
    // The status line: what the last generation made, and what to do with it.
    QLabel* m_published = nullptr;
    QPushButton* m_openPage = nullptr;
    QPushButton* m_copyAddress = nullptr;
    std::string m_publishedFolder;
};

/// The one main window.
extern TfrmMain* frmMain;
