#include "form/SiteForm.h"

#include "form/MainForm.h"
#include "form/ProgressText.h"
#include "platform/FileSystem.h"
#include "platform/FileTree.h"
#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "site/SiteFiles.h"
#include "site/SiteSources.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vidlume::form {

namespace {

std::string count(std::size_t number, const char* one, const char* many)
{
    return std::to_string(number) + " " + (number == 1 ? one : many);
}

std::string joinedLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::string runningState(site::JobNeed need, double part)
{
    if (need == site::JobNeed::PageOnly)
        return "making its page";
    const int percent = std::clamp(int(part * 100.0), 0, 100);
    return percent > 0 ? "converting " + std::to_string(percent) + "%" : "converting";
}

std::string finishedState(const site::JobOutcome& outcome)
{
    switch (outcome.state) {
    case site::JobState::Failed:
        return "left out: " + outcome.reason;
    case site::JobState::AlreadyDone:
        return "up to date";
    case site::JobState::Cancelled:
        return notDoneState;
    case site::JobState::Done:
        break;
    }
    return outcome.warnings.empty() ? "done" : "done, " + count(outcome.warnings.size(), "warning", "warnings");
}

} // namespace

std::string planSummary(const PlanCounts& counts)
{
    if (counts.found == 0)
        return "No FLV video was found in the sources.";
    std::string text = "Found " + count(counts.found, "video", "videos") + ": " +
                       std::to_string(counts.upToDate) + " up to date, " + std::to_string(counts.toConvert) +
                       (counts.toConvert == 1 ? " needs converting" : " need converting");
    if (counts.pageOnly)
        text += ", " + std::to_string(counts.pageOnly) + (counts.pageOnly == 1 ? " needs" : " need") +
                " only its page made again";
    text += ".";
    if (counts.leftOutBefore)
        text += " " + count(counts.leftOutBefore, "video stays", "videos stay") +
                " left out as before (unchanged since).";
    return text;
}

SiteForm::SiteForm(SiteFormView& view, PageInputs options, std::vector<std::string> sources)
    : m_view(view), m_options(std::move(options)), m_programFolder(platform::programFolder()),
      m_jobs(std::max(1u, platform::processorCount()))
{
    for (std::string& source : sources)
        if (std::find(m_sources.begin(), m_sources.end(), source) == m_sources.end())
            m_sources.push_back(std::move(source));
}

SiteForm::~SiteForm()
{
    stopWorker();
}

std::string SiteForm::optionsNote()
{
    return "Every video's page gets the options set in the main window when this dialog opened "
           "(players, size, poster, logo); the video and output folder fields are not used.";
}

platform::Launcher& SiteForm::launcher() const
{
    return m_launcher ? *m_launcher : platform::systemLauncher();
}

void SiteForm::show()
{
    m_view.setSources(m_sources);
    m_view.setSiteFolder(m_site);
    m_view.setJobs(m_jobs);
    m_view.setProgress(0, "");
    replan();
}

void SiteForm::addFolderClick()
{
    if (const auto folder = m_view.chooseFolder("Add a Folder of Videos"))
        addSources({*folder});
}

void SiteForm::addFilesClick()
{
    const std::vector<std::string> files = m_view.chooseVideoFiles();
    if (!files.empty())
        addSources(files);
}

void SiteForm::addSources(const std::vector<std::string>& paths)
{
    if (m_phase == SitePhase::Running)
        return;
    bool added = false;
    for (const std::string& path : paths)
        if (!path.empty() && std::find(m_sources.begin(), m_sources.end(), path) == m_sources.end()) {
            m_sources.push_back(path);
            added = true;
        }
    if (!added)
        return;
    m_view.setSources(m_sources);
    replan();
}

void SiteForm::removeSource(std::size_t index)
{
    if (m_phase == SitePhase::Running || index >= m_sources.size())
        return;
    m_sources.erase(m_sources.begin() + std::ptrdiff_t(index));
    m_view.setSources(m_sources);
    replan();
}

void SiteForm::chooseSiteClick()
{
    if (const auto folder = m_view.chooseFolder("Choose the Site's Folder"))
        setSiteFolder(*folder);
}

void SiteForm::setSiteFolder(const std::string& folder)
{
    if (m_phase == SitePhase::Running || folder == m_site)
        return;
    m_site = folder;
    m_view.setSiteFolder(m_site);
    replan();
}

void SiteForm::setJobs(unsigned jobs)
{
    if (m_phase == SitePhase::Running)
        return;
    m_jobs = std::max(1u, jobs);
}

void SiteForm::startWorker(std::function<void()> work)
{
    m_worker = std::thread([this, work = std::move(work)] {
        try {
            work();
        } catch (const std::exception& error) {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_failure = error.what();
        }
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_workerDone = true;
    });
}

void SiteForm::stopWorker()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_cancel = false;
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_planReady.reset();
    m_failure.reset();
    m_changedRows.clear();
    m_progress = {};
    m_assembledReady.reset();
    m_workerDone = false;
}

void SiteForm::replan()
{
    stopWorker();
    m_startWhenPlanned = false;
    m_made.reset();
    m_assembled.reset();
    m_runError.clear();
    m_rows.clear();
    m_rowOf.clear();
    m_view.setRows(m_rows);
    m_view.setLeftOut("");
    m_view.setProgress(0, "");
    if (m_sources.empty() || m_site.empty()) {
        m_phase = SitePhase::Choosing;
        m_view.setSummary(m_sources.empty() ? "Add the folders or FLV files to publish."
                                            : "Choose the folder the site is written to.");
        enableControls();
        return;
    }
    m_phase = SitePhase::Planning;
    m_view.setSummary("Looking for videos\u2026");
    enableControls();

    site::PlanRequest request;
    request.site = m_site;
    request.sources = m_sources;
    request.options = m_options;
    request.programFolder = m_programFolder;
    request.cancelRequested = [this] { return m_cancel.load(); };
    startWorker([this, request = std::move(request)] {
        Planned planned;
        planned.made = site::makePlan(request);
        for (const site::PlanEntry& entry : planned.made.plan.entries) {
            if (entry.gone)
                continue;
            const site::JobNeed need = site::jobNeed(request.site, planned.made.plan, entry);
            planned.needs[entry.index] = need;
            if (need != site::JobNeed::Nothing)
                continue;
            if (const auto result = site::readResult(request.site, entry.index); result && !result->done)
                planned.leftOutBefore[entry.index] = result->reason;
        }
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_planReady = std::move(planned);
    });
}

void SiteForm::showPlan()
{
    const Planned& planned = *m_made;
    PlanCounts counts;
    for (const site::PlanEntry& entry : planned.made.plan.entries) {
        if (entry.gone)
            continue;
        const site::JobNeed need = planned.needs.at(entry.index);
        ++counts.found;
        std::string state = "up to date";
        if (need == site::JobNeed::Everything) {
            ++counts.toConvert;
            state = "waiting";
        } else if (need == site::JobNeed::PageOnly) {
            ++counts.pageOnly;
            state = "waiting";
        } else if (const auto before = planned.leftOutBefore.find(entry.index); before != planned.leftOutBefore.end()) {
            ++counts.leftOutBefore;
            state = "left out: " + before->second;
        } else {
            ++counts.upToDate;
        }
        m_rowOf[entry.index] = m_rows.size();
        m_rows.push_back({entry.relative, state});
    }
    m_view.setRows(m_rows);
    std::string summary = planSummary(counts);
    if (!planned.made.problems.empty())
        summary += " " + count(planned.made.problems.size(), "file", "files") + " could not be read (listed below).";
    m_view.setSummary(summary);

    std::vector<std::string> leftOut = planned.made.problems;
    leftOut.insert(leftOut.end(), planned.made.notes.begin(), planned.made.notes.end());
    for (const site::PlanEntry& entry : planned.made.plan.entries)
        if (const auto before = planned.leftOutBefore.find(entry.index); before != planned.leftOutBefore.end())
            leftOut.push_back(entry.source + ": " + before->second);
    m_view.setLeftOut(joinedLines(leftOut));
}

void SiteForm::startClick()
{
    if (m_phase == SitePhase::Finished) {
        replan();
        m_startWhenPlanned = m_phase == SitePhase::Planning;
        return;
    }
    if (m_phase != SitePhase::Ready || !m_made || m_rows.empty())
        return;
    stopWorker();
    m_phase = SitePhase::Running;
    m_runStarted = std::chrono::steady_clock::now();
    m_view.setSummary("Publishing " + count(m_made->made.toDo.size(), "video", "videos") + "\u2026");
    m_view.setProgress(0, "");
    enableControls();

    site::JobControl control;
    control.programFolder = m_programFolder;
    control.cancelRequested = [this] { return m_cancel.load(); };
    startWorker([this, control = std::move(control)] {
        const Planned& planned = *m_made; // unchanged while the worker runs
        site::RunReporting reporting;
        reporting.onJobFinished = [this](const site::JobReport& report) {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_changedRows[report.entry->index] = finishedState(report.outcome);
        };
        reporting.onJobProgress = [this, &planned](const site::PlanEntry& entry, double part) {
            const auto need = planned.needs.find(entry.index);
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_changedRows[entry.index] =
                runningState(need == planned.needs.end() ? site::JobNeed::Everything : need->second, part);
        };
        reporting.onProgress = [this](std::size_t done, std::size_t total, std::uint64_t bytesDone,
                                      std::uint64_t bytesTotal) {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_progress = {done, total, bytesDone, bytesTotal};
        };
        site::runJobs(m_site, planned.made.plan, planned.made.toDo, m_jobs, control, reporting);
        // What finished stays and is shown, also after a Cancel.
        site::Assembled assembled = site::assembleSite(m_site, planned.made.plan);
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_assembledReady = std::move(assembled);
    });
}

void SiteForm::cancelClick()
{
    if (m_phase != SitePhase::Running || m_cancel)
        return;
    m_cancel = true;
    m_view.setSummary("Stopping: the videos being converted are left as they were\u2026");
    enableControls();
}

void SiteForm::showFinished()
{
    const bool stopped = m_cancel;
    std::size_t done = 0;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        SiteRow& value = m_rows[row];
        if (value.state == "waiting" || value.state.starts_with("converting") || value.state == "making its page") {
            value.state = notDoneState;
            m_view.setRow(row, value);
        }
        if (value.state == "up to date" || value.state.starts_with("done"))
            ++done;
    }
    std::vector<std::string> leftOut = m_made->made.problems;
    std::string summary = stopped ? "Stopped. " : "";
    if (m_assembled) {
        leftOut.insert(leftOut.end(), m_assembled->failed.begin(), m_assembled->failed.end());
        leftOut.insert(leftOut.end(), m_made->made.notes.begin(), m_made->made.notes.end());
        summary += count(done, "video is", "videos are") + " in the site, " + std::to_string(m_assembled->failed.size()) +
                   " left out.";
        if (stopped)
            summary += " The others were not published; Publish goes on with them.";
    } else {
        summary += m_runError;
    }
    m_view.setSummary(summary);
    m_view.setLeftOut(joinedLines(leftOut));
    if (stopped)
        m_view.setProgress(0, "Stopped");
    else
        m_view.setProgress(barSteps, "Finished");
}

bool SiteForm::poll()
{
    std::optional<Planned> planned;
    std::optional<std::string> failure;
    std::map<int, std::string> rows;
    Progress progress;
    std::optional<site::Assembled> assembled;
    bool workerDone = false;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        planned.swap(m_planReady);
        failure.swap(m_failure);
        rows.swap(m_changedRows);
        progress = m_progress;
        assembled.swap(m_assembledReady);
        workerDone = m_workerDone;
    }

    if (m_phase == SitePhase::Planning && workerDone) {
        m_worker.join();
        m_workerDone = false;
        m_phase = SitePhase::Ready;
        if (planned) {
            m_made = std::move(planned);
            showPlan();
            if (std::exchange(m_startWhenPlanned, false))
                startClick();
        } else {
            m_startWhenPlanned = false;
            m_view.setSummary(failure ? *failure : std::string("The videos could not be searched."));
        }
    } else if (m_phase == SitePhase::Running) {
        for (const auto& [index, state] : rows)
            if (const auto row = m_rowOf.find(index); row != m_rowOf.end()) {
                m_rows[row->second].state = state;
                m_view.setRow(row->second, m_rows[row->second]);
            }
        if (!workerDone) {
            PublishProgress bytes;
            bytes.bytesDone = progress.bytesDone;
            bytes.bytesTotal = progress.bytesTotal;
            std::string text = std::to_string(progress.done) + " of " + std::to_string(progress.total) + " videos";
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - m_runStarted);
            if (const auto left = secondsLeft(bytes, std::uint64_t(elapsed.count())))
                text += ". " + timeLeftText(*left);
            m_view.setProgress(progressSteps(bytes, barSteps), text);
        } else {
            m_worker.join();
            m_workerDone = false;
            m_assembled = std::move(assembled);
            if (failure)
                m_runError = *failure;
            m_phase = SitePhase::Finished;
            showFinished();
            m_cancel = false;
        }
    }
    enableControls();
    return m_phase == SitePhase::Planning || m_phase == SitePhase::Running;
}

void SiteForm::enableControls()
{
    const bool running = m_phase == SitePhase::Running;
    const std::pair<SiteControl, bool> states[] = {
        {SiteControl::AddFolder, !running},
        {SiteControl::AddFiles, !running},
        {SiteControl::RemoveSource, !running && !m_sources.empty()},
        {SiteControl::ChooseSite, !running},
        {SiteControl::Jobs, !running},
        {SiteControl::Start,
         (m_phase == SitePhase::Ready && m_made && !m_rows.empty()) || m_phase == SitePhase::Finished},
        {SiteControl::Cancel, running && !m_cancel},
        {SiteControl::OpenGallery, m_phase == SitePhase::Finished && m_assembled.has_value()},
        {SiteControl::OpenSiteFolder, m_made.has_value() && !running},
    };
    // The enabled ones first: a window that moves the focus off a control going
    // grey finds the control taking over (Cancel after Publish) ready for it.
    for (const bool enabled : {true, false})
        for (const auto& [control, state] : states)
            if (state == enabled)
                m_view.enableControl(control, state);
}

void SiteForm::openGalleryClick()
{
    if (m_phase == SitePhase::Finished && m_assembled)
        launcher().openUrl(publishedPageAddress(m_site));
}

void SiteForm::openSiteFolderClick()
{
    if (m_made)
        launcher().openFolder(m_site);
}

} // namespace vidlume::form
