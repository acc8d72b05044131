#pragma once

#include "page/PageInputs.h"
#include "site/SiteJob.h"
#include "site/SiteRun.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vidlume::platform {
class Launcher;
}

namespace vidlume::form {

/// The buttons and fields of the "Publish Many Videos" dialog whose enabling
/// the dialog's rules decide.
enum class SiteControl
{
    AddFolder,
    AddFiles,
    RemoveSource,
    ChooseSite,
    Jobs,
    Start,
    Cancel,
    OpenGallery,
    OpenSiteFolder,
};
inline constexpr std::size_t siteControlCount = 9;

/// One video of the site as the dialog's list shows it.
struct SiteRow
{
    std::string name;  ///< its place in the archive
    std::string state; ///< "waiting", "converting 40%", "done", "left out: ..."

    bool operator==(const SiteRow&) const = default;
};

/// Where the dialog is.
enum class SitePhase
{
    Choosing, ///< sources or site folder missing
    Planning, ///< the plan is being made on the worker thread
    Ready,    ///< the counts are shown; Start is offered when there is work
    Running,  ///< the jobs run
    Finished, ///< the gallery is written (also after a Cancel)
};

/// A row's state after a Cancel for a video that was not finished.
inline constexpr const char* notDoneState = "not done (stopped)";

/// What a plan found, for the line above the list.
struct PlanCounts
{
    std::size_t found = 0;
    std::size_t upToDate = 0;
    std::size_t toConvert = 0;
    std::size_t pageOnly = 0;      ///< only the page options changed
    std::size_t leftOutBefore = 0; ///< left out by an earlier run and unchanged since
};

/// "Found 6 videos: 2 up to date, 4 need converting."
std::string planSummary(const PlanCounts& counts);

/// What the dialog's rules need of a window that shows them. Called on the
/// window's thread only (from SiteForm's calls, poll() included).
class SiteFormView
{
public:
    virtual ~SiteFormView() = default;

    virtual void setSources(const std::vector<std::string>& sources) = 0;
    virtual void setSiteFolder(const std::string& folder) = 0;
    /// The line above the list: what was found, what the run did.
    virtual void setSummary(const std::string& text) = 0;
    /// The list, new; setRow changes one of its rows.
    virtual void setRows(const std::vector<SiteRow>& rows) = 0;
    virtual void setRow(std::size_t row, const SiteRow& value) = 0;
    /// The overall bar (0 to barSteps) and the text beside it.
    virtual void setProgress(int barPosition, const std::string& text) = 0;
    /// The videos left out, one line each with the reason, then the files and
    /// links the search passed over; copyable.
    virtual void setLeftOut(const std::string& text) = 0;
    virtual void enableControl(SiteControl control, bool enabled) = 0;
    virtual void setJobs(unsigned jobs) = 0;

    // A chooser that ends without a choice gives nothing.
    virtual std::optional<std::string> chooseFolder(const std::string& title) = 0;
    virtual std::vector<std::string> chooseVideoFiles() = 0;
};

/// The "Publish Many Videos" dialog's rules, without a toolkit: a folder of
/// videos (or several) published as one site with a gallery, through the site
/// library. The plan and the jobs run on a worker thread; the window calls
/// poll() from a timer and this shows on it what the worker has done since.
/// The page options are the main window's, taken when the dialog opens.
class SiteForm
{
public:
    static constexpr int barSteps = 1000;

    SiteForm(SiteFormView& view, PageInputs options, std::vector<std::string> sources);
    /// Cancels what runs and waits for the worker.
    ~SiteForm();
    SiteForm(const SiteForm&) = delete;
    SiteForm& operator=(const SiteForm&) = delete;

    /// Who opens folders and pages; the system's unless a test sets another.
    void setLauncher(platform::Launcher* launcher) { m_launcher = launcher; }
    /// Where the converter and the player files lie; the program's own folder by default.
    void setProgramFolder(std::string folder) { m_programFolder = std::move(folder); }

    /// Fills the window and starts the plan when sources and site are known.
    void show();

    void addFolderClick();
    void addFilesClick();
    /// Files or folders dropped on the dialog, or handed by the main window.
    void addSources(const std::vector<std::string>& paths);
    void removeSource(std::size_t index);
    void chooseSiteClick();
    void setSiteFolder(const std::string& folder);
    void setJobs(unsigned jobs);
    /// Publishes what the plan has to do; after a run, makes the plan again
    /// first (to go on after a Cancel, or with what changed since).
    void startClick();
    /// Stops the run: the videos finished stay in the site, the gallery shows them.
    void cancelClick();
    void openGalleryClick();
    void openSiteFolderClick();

    /// Shows what the worker did since the last call. True while it works.
    bool poll();

    SitePhase phase() const { return m_phase; }
    unsigned jobs() const { return m_jobs; }
    const std::vector<std::string>& sources() const { return m_sources; }
    const std::string& siteFolder() const { return m_site; }
    /// The line the dialog shows about the page options.
    static std::string optionsNote();

private:
    /// A plan and what each of its videos needs, as the worker found them.
    struct Planned
    {
        site::PlanMade made;
        std::map<int, site::JobNeed> needs;
        std::map<int, std::string> leftOutBefore; ///< unchanged videos an earlier run left out, with the reason
    };

    void replan();
    /// Runs work on the worker; what it throws becomes m_failure, and its end m_workerDone.
    void startWorker(std::function<void()> work);
    void stopWorker();
    void enableControls();
    void showPlan();
    void showFinished();
    platform::Launcher& launcher() const;

    SiteFormView& m_view;
    PageInputs m_options;
    std::vector<std::string> m_sources;
    std::string m_site;
    std::string m_programFolder;
    unsigned m_jobs;
    platform::Launcher* m_launcher = nullptr;
    SitePhase m_phase = SitePhase::Choosing;
    bool m_startWhenPlanned = false;

    std::optional<Planned> m_made;
    std::vector<SiteRow> m_rows;
    std::map<int, std::size_t> m_rowOf; // plan index -> row
    std::optional<site::Assembled> m_assembled;
    std::string m_runError;
    std::chrono::steady_clock::time_point m_runStarted;

    std::mutex m_mutex;
    struct Progress
    {
        std::size_t done = 0, total = 0;
        std::uint64_t bytesDone = 0, bytesTotal = 0;
    };
    // Under m_mutex, written by the worker:
    std::optional<Planned> m_planReady;
    std::optional<std::string> m_failure;
    std::map<int, std::string> m_changedRows;
    Progress m_progress;
    std::optional<site::Assembled> m_assembledReady;
    bool m_workerDone = false;

    std::atomic<bool> m_cancel{false};
    std::thread m_worker;
};

} // namespace vidlume::form
