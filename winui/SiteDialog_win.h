#pragma once

#include "form/SiteForm.h"
#include "winui/Control_win.h"

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::winui {

class Edit;
class ListBox;
class ListView;
class ProgressBar;
class StaticText;
class TextBox;

/// The child window ids of the "Publish Many Videos" dialog (GetDlgItem finds
/// them): the controls whose enabling the form decides, then the others.
constexpr int siteControlId(form::SiteControl control)
{
    return 1000 + int(control);
}
enum SiteDialogId : int
{
    siteSourcesId = 1100,
    siteFolderId,
    siteJobsId,
    siteJobsArrowsId,
    siteSummaryId,
    siteVideosId,
    siteBarId,
    siteTimeLeftId,
    siteLeftOutId,
    siteCopyId,
    siteCloseId,
    siteOptionsNoteId,
    siteUploadId,
};

/// The window class and caption of the dialog, for whoever looks for it.
inline constexpr const wchar_t* siteDialogClass = L"VidlumeSite";
inline constexpr const wchar_t* siteDialogCaption = L"Publish Many Videos";

/// "Publish Many Videos" as a Win32 window: a thin view over form::SiteForm,
/// modal over the main window. Its controls lie at places fixed at 96 DPI and
/// scaled to the screen's; a timer shows what the form's worker has done.
class SiteDialog final : private form::SiteFormView
{
public:
    SiteDialog(HWND owner, const PageInputs& options, const std::vector<std::string>& sources);
    ~SiteDialog() override;
    SiteDialog(const SiteDialog&) = delete;
    SiteDialog& operator=(const SiteDialog&) = delete;

    /// Shows the dialog and returns when it is closed; the owner takes no input meanwhile.
    void run();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void applyDpi(UINT dpi);
    /// Runs one of the form's steps inside the general error report.
    void runStep(const std::function<void()>& step);
    void command(int id, WORD code);
    /// Escape and the close box: a run is cancelled first, and the dialog
    /// closes once the finished videos are in the gallery.
    void cancelOrClose();
    void tick();
    void copyLeftOut();

    // The dialog as the form sees it.
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

    HWND m_owner;
    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    bool m_closing = false; // closes once the run has stopped
    bool m_closed = false;
    bool m_showingJobs = false;                     // the form sets the jobs field: no change to hand back
    std::vector<std::unique_ptr<Control>> m_pieces; // every control, in the Tab order
    std::array<Control*, form::siteControlCount> m_controls{};
    ListBox* m_sources = nullptr;
    Edit* m_site = nullptr;
    Edit* m_jobs = nullptr;
    StaticText* m_summary = nullptr;
    ListView* m_videos = nullptr;
    ProgressBar* m_bar = nullptr;
    StaticText* m_timeLeft = nullptr;
    TextBox* m_leftOut = nullptr;
    Control* m_copy = nullptr;
    Control* m_upload = nullptr;
    std::string m_leftOutText;
    std::unique_ptr<form::SiteForm> m_form; // made with the window; its end waits for the worker
};

/// Runs the dialog over owner with these sources and page options.
void runSiteDialog(HWND owner, const PageInputs& options, const std::vector<std::string>& sources);

} // namespace vidlume::winui
