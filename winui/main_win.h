#pragma once

#include "form/MainForm.h"
#include "form/MainFormView.h"
#include "winui/Button_win.h"
#include "winui/ComboBox_win.h"
#include "winui/Control_win.h"
#include "winui/Edit_win.h"
#include "winui/OpenDialog_win.h"
#include "winui/PublishWithProgress_win.h"
#include "winui/TrackBar_win.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

/// The child window id of a form control in the main window (GetDlgItem finds it).
constexpr int controlId(vidlume::form::Control control)
{
    return 1000 + int(control);
}

/// The main window as a Win32 window: the controls at their places (scaled to the
/// screen's DPI), the menu, and the handlers, which forward to the form's rules
/// (form/MainForm.h).
class TfrmMain final : private vidlume::form::MainFormView
{
public:
    TfrmMain();
    ~TfrmMain() override;

    /// Creates the window (FormCreate), hidden.
    void create();
    /// Shows it centred on the desktop and runs FormShow.
    void show(int showCommand);
    HWND hwnd() const { return m_hwnd; }

    // Handlers. Each runs inside the general error report.
    void FormCreate();
    void FormShow();
    void btn_videofileClick();
    void btn_thumbnailimageClick();
    void btn_logoimageClick();
    void chk_thumbnailClick();
    void chk_logoClick();
    void trc_logoalphaChange();
    void btn_openClick();
    void btn_startClick();
    void btn_outputdirClick();
    void WebSite1Click();
    void NorvaneVidmorph1Click();
    void Help1Click();
    void btn_videopathhelpClick();
    void btn_flvplayerpathClick();

private:
    static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void createMenu();
    void applyDpi(UINT dpi);
    void command(int id, int notification);
    void centreOnDesktop();
    vidlume::winui::Control* controlOf(vidlume::form::Control control) const;
    bool isFieldWithColour(HWND control) const;

    // The window as the form sees it.
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

    HWND m_hwnd = nullptr;
    UINT m_dpi = 96;
    HFONT m_font = nullptr;
    HBRUSH m_fieldBrush = nullptr;
    std::vector<vidlume::winui::Control*> m_controls; // all of them, in creation order

    vidlume::winui::GroupBox GroupBox1, GroupBox2, GroupBox3;
    vidlume::winui::Label Label1, Label2, Label3, Label9, Label4, Label5, Label11, Label12, Label6,
        lbl_position, Label8, Label10;
    vidlume::winui::Edit edt_videofile, edt_videopath, edt_flvplayerpath, edt_thumbnailimage, edt_logoimage,
        edt_logolink, edt_logowidth, edt_outputdir;
    vidlume::winui::Button btn_videofile, btn_videopathhelp, btn_flvplayerpath, btn_thumbnailimage,
        btn_logoimage, btn_start, btn_outputdir, btn_open;
    vidlume::winui::ComboBox cbb_videosize;
    vidlume::winui::CheckBox chk_autoplay, chk_html5, chk_thumbnail, chk_logo, rb_topleft, rb_topright,
        rb_bottomleft, rb_bottomright;
    vidlume::winui::TrackBar trc_logoalpha;
    std::unique_ptr<vidlume::winui::OpenDialog> OpenDialog1;
    HMENU MainMenu1 = nullptr;

    vidlume::form::MainForm m_form{*this};
    vidlume::winui::PublishFunction m_publish;
};

/// The one main window.
extern TfrmMain* frmMain;
