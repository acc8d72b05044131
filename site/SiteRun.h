#pragma once

#include "page/PageInputs.h"
#include "site/SiteJob.h"
#include "site/SitePlan.h"
#include "site/SiteState.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vidlume::site {

// The steps of a site: the plan, the jobs (here on one machine, some at a
// time), the gallery. The command line runs them one after the other, or one
// of them at a time for engines that spread the jobs over machines.

/// What the plan is made from.
struct PlanRequest
{
    std::string site;
    std::vector<std::string> sources;
    PageInputs options;
    bool prune = false;
    std::string programFolder;
    std::function<bool()> cancelRequested;
};

struct PlanMade
{
    SitePlan plan;
    std::vector<std::string> problems; ///< lines for the user: what could not be read, a refused old plan
    std::vector<std::string> notes;    ///< lines for the user: links that were not followed
    std::vector<int> toDo;             ///< the jobs still to do, by index
};

/// Searches the sources, updates the site's plan (a refused one is named and
/// replaced by a new one), writes it, and with prune removes what the site
/// holds of videos no longer found. Throws Error when the site cannot be
/// written.
PlanMade makePlan(const PlanRequest& request);

/// The converter's version as the plan records it: the program's version and
/// a hash of the converter program's file.
std::string converterVersion(const std::string& programFolder);

/// The jobs of the plan that are still to do.
std::vector<int> jobsToDo(const std::string& site, const SitePlan& plan);

/// One finished job, as the run reports it.
struct JobReport
{
    const PlanEntry* entry = nullptr;
    JobOutcome outcome;
};

/// How a run of several jobs reports; called one at a time.
struct RunReporting
{
    std::function<void(const JobReport&)> onJobFinished;
    /// Videos finished, of all; bytes of their sources done, of all.
    std::function<void(std::size_t done, std::size_t total, std::uint64_t bytesDone, std::uint64_t bytesTotal)>
        onProgress;
    /// How far one running job is, 0 to 1: once with 0 when it starts, then as
    /// its converter reads the video.
    std::function<void(const PlanEntry&, double part)> onJobProgress;
};

/// Runs the jobs, `parallel` at a time. Returns what became of each that ran
/// to its end (a cancelled one is not in it).
std::vector<JobReport> runJobs(const std::string& site, const SitePlan& plan, const std::vector<int>& indices,
                               unsigned parallel, const JobControl& control, const RunReporting& reporting);

/// What the gallery could show.
struct Assembled
{
    std::vector<std::string> missing; ///< videos whose job has no result yet, one line each
    std::vector<std::string> failed;  ///< videos left out, one line each with the reason
};

/// Writes the gallery from the plan and the jobs' results. Throws Error when
/// it cannot be written.
Assembled assembleSite(const std::string& site, const SitePlan& plan);

} // namespace vidlume::site
