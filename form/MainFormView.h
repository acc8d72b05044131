#pragma once

#include "form/Control.h"
#include "form/FileFilter.h"
#include "publish/Publish.h"

#include <optional>
#include <string>
#include <vector>

namespace vidlume::form {

/// What the main window's rules need of a window that shows it. Each toolkit's
/// window implements it over its own controls; MainForm holds the rules.
class MainFormView
{
public:
    virtual ~MainFormView() = default;

    /// A field's or the size box's text: local paths (holdsLocalPath) as the file
    /// system's bytes, typed texts as UTF-8.
    virtual std::string controlText(Control control) const = 0;
    virtual void setControlText(Control control, const std::string& text) = 0;
    /// A check box's or radio button's state.
    virtual bool controlChecked(Control control) const = 0;
    /// The track bar's position.
    virtual int controlPosition(Control control) const = 0;
    virtual void enableControl(Control control, bool enabled) = 0;
    virtual void setControlReadOnly(Control control, bool readOnly) = 0;
    virtual void focusControl(Control control) = 0;

    virtual void setCaption(const std::string& caption) = 0;
    /// The modal "Warning" box: one OK button, no icon.
    virtual void showWarning(const std::string& text) = 0;

    // A dialog that ends without a choice gives nothing.
    /// Runs the file-open dialog with these filters: the confirmed file's full path.
    virtual std::optional<std::string> runOpenDialog(const std::vector<FileFilter>& filters) = 0;
    /// Runs the output folder chooser: the accepted folder.
    virtual std::optional<std::string> runFolderChooser() = 0;
    /// Runs a generation while the window shows its progress. Throws what the
    /// generation throws (PublishCancelled after a Cancel).
    virtual PublishResult publishWithProgress(const PageInputs& inputs) = 0;
    /// Runs the "Publish Many Videos" dialog over these sources (folders or
    /// FLV files; none when opened from the menu) with the window's page options.
    /// A window without the dialog yet says so in its status line.
    virtual void runSiteDialog(const std::vector<std::string>& sources, const PageInputs& options)
    {
        (void)sources;
        (void)options;
        showStatus("Publish Many Videos is not in this window yet; vidlume-cli site publishes a folder.");
    }
    /// Runs the upload dialog for folder (empty: the user chooses one there).
    /// A window without the dialog yet says so in its status line.
    virtual void runUploadDialog(const std::string& folder)
    {
        (void)folder;
        showStatus("Upload is not in this window yet; vidlume-cli upload sends a folder to your server.");
    }
    /// Tells where a generation published, after its folder was opened; a window
    /// without a place to say so leaves it to the file browser.
    virtual void showPublished(const std::string& folder) { (void)folder; }
    /// Puts a message in the status line in place of what it showed, offering
    /// nothing of an earlier generation; a window without one leaves it out.
    virtual void showStatus(const std::string& text) { (void)text; }
};

} // namespace vidlume::form
