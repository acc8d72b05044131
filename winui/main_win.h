#pragma once

#include "form/MainForm.h"
#include "form/MainFormLayout.h"
#include "form/MainFormView.h"
#include "winui/Control_win.h"
#include "winui/OpenDialog_win.h"
#include "winui/PublishWithProgress_win.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

/// The child window id of a form control in the main window (GetDlgItem finds it).
constexpr int controlId(vidlume::form::Control control)
{
    return 1000 + int(control);
}

/// The main window as a Win32 window: the pieces of form/MainFormLayout at their
/// places (scaled to the screen's DPI) and the menu, whose handlers run the form's
/// steps (form/MainForm.h).
class TfrmMain final : private vidlume::form::MainFormView
{
public:
    TfrmMain();
    ~TfrmMain() override;

    /// Creates the window (FormCreate), hidden.
    void create();
    /// Shows it centred on the desktop and runs FormShow.
    void show(int showCommand);
    /// Files handed to the program or dropped on the window: the first video
    /// among them becomes the video.
    void openVideos(const std::vector<std::string>& paths);
    HWND hwnd() const { return m_hwnd; }
    /// The menu's keyboard shortcuts, for the message loop to translate.
    HACCEL accelerators() const { return m_accelerators; }

private:
    static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void createMenu();
    void applyDpi(UINT dpi);
    void centreOnDesktop();
    /// Runs a handler inside the general error report.
    void runHandler(vidlume::form::Handler handler);
    vidlume::winui::Control* controlOf(vidlume::form::Control control) const
    {
        return m_controls[std::size_t(control)];
    }

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
    void runSiteDialog(const std::vector<std::string>& sources, const vidlume::PageInputs& options) override;
    void runUploadDialog(const std::string& folder) override;

    HWND m_hwnd = nullptr;
    UINT m_dpi = 96;
    HFONT m_font = nullptr;
    // Every piece in the layout's order, and the form's controls by their number.
    std::vector<std::unique_ptr<vidlume::winui::Control>> m_pieces;
    std::array<vidlume::winui::Control*, vidlume::form::controlCount> m_controls{};
    std::unique_ptr<vidlume::winui::OpenDialog> OpenDialog1;
    HMENU MainMenu1 = nullptr;
    HACCEL m_accelerators = nullptr;

    vidlume::form::MainForm m_form{*this};
    vidlume::winui::PublishFunction m_publish;
};

/// The one main window.
extern TfrmMain* frmMain;
