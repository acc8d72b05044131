#pragma once

#include "app/SettingsFile.h"
#include "form/MainFormView.h"

#include <optional>
#include <string>
#include <vector>

namespace vidlume::platform {
class Launcher;
}

namespace vidlume::form {

/// The main window's rules and the steps of its handlers, written once for every
/// window that shows it: a window forwards its events here, and the rules act on
/// the window through MainFormView. Handlers throw what ends them; the window
/// shows that in its general error report.
class MainForm
{
public:
    explicit MainForm(MainFormView& view);

    /// Who opens folders and web pages; the system's unless a test sets another.
    void setLauncher(platform::Launcher* launcher) { m_launcher = launcher; }

    void FormCreate();
    /// Caption with the version, the default output folder, the start enabling, and
    /// last the creation of that folder with its warning. The window sets its field
    /// colours itself.
    void FormShow();

    void btn_videofileClick();
    void btn_thumbnailimageClick();
    void btn_logoimageClick();
    /// Files handed over some other way than "Browse" (dropped, given at start):
    /// the first that is a video Vidlume publishes is shown, and "Generate HTML
    /// Code" enabled when it exists; the status line tells what was passed over.
    void videoFilesChosen(const std::vector<std::string>& paths);
    /// Files and folders dropped on the window: a folder among them, or more than
    /// one FLV, opens "Publish Many Videos" with them as its sources; anything
    /// else is taken as videoFilesChosen takes it.
    void filesDropped(const std::vector<std::string>& paths);
    /// "Publish Many Videos...": the site dialog, without sources yet. Both
    /// throw, before the dialog opens, what a generation would throw for the
    /// window's page options (a size without an "x").
    void PublishMany1Click();
    /// "Upload...": the upload dialog, for the folder the last generation made
    /// (none yet: the user chooses one in the dialog).
    void Upload1Click();
    void chk_thumbnailClick();
    void chk_logoClick();
    void trc_logoalphaChange();
    void btn_openClick();
    /// "Generate HTML Code": the missing-video warning, the generation, its
    /// warnings, the new folder opened. The result, or nothing when no folder was made.
    std::optional<PublishResult> btn_startClick();
    void btn_outputdirClick();
    /// "Open Page in Browser" after a generation: the new folder's index.htm.
    void openPublishedPage(const std::string& folder);
    void WebSite1Click();
    void NorvaneVidmorph1Click();
    void Help1Click();
    void btn_videopathhelpClick();
    void btn_flvplayerpathClick();

    /// The window's values as the inputs of a generation.
    PageInputs readInputs() const;

private:
    platform::Launcher& launcher() const;

    MainFormView& m_view;
    platform::Launcher* m_launcher = nullptr;
    std::optional<SettingsFile> m_settingsFile; // bound by FormShow
    std::string m_lastPublished;
};

/// "HTML5 Player" is checked when the window starts: without it, no browser of
/// today shows the video.
inline constexpr bool html5PlayerAtStart = true;

/// The main window's caption for a version text such as " 1.101 ".
std::string mainCaption(const std::string& versionText);

/// The key filter of the logo width field: a typed character passes when it is a
/// digit, backspace (8) or carriage return (13); any other comes back as 0.
char32_t edt_logowidthKeyPress(char32_t key);

/// Whether "Open" shows the folder in the output folder field: any text but one
/// that can only name a drive ("C:") where drives have letters.
bool opensOutputFolder(const std::string& text);

/// The file address of the page that a generation wrote into folder, its bytes
/// percent-encoded: what a browser opens and what a user pastes.
std::string publishedPageAddress(const std::string& folder);

/// The one box that tells what a generation left out (the files first, then its
/// other warnings); empty when all went well.
std::string generationWarning(const PublishResult& result);

} // namespace vidlume::form
