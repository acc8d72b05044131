#pragma once

#include "publish/Publish.h"
#include "site/SitePlan.h"

#include <functional>
#include <string>
#include <vector>

namespace vidlume::site {

/// What a job of the plan has to do now.
enum class JobNeed
{
    Nothing,  ///< done for the plan as it is, or its source is gone
    PageOnly, ///< only the page options (or subtitles) changed: the MP4 and picture stay
    Everything,
};

/// Compares the plan's entry with the job's result in the site.
JobNeed jobNeed(const std::string& site, const SitePlan& plan, const PlanEntry& entry);

/// What the caller lets a job know and ask while it runs.
struct JobControl
{
    std::string programFolder; ///< where the player files and the converter lie
    std::function<bool()> cancelRequested;
    /// How far the job is, from 0 to 1, called from the job's thread.
    std::function<void(double)> onProgress;
    ConverterBounds converterBounds;
};

enum class JobState
{
    Done,        ///< published now
    AlreadyDone, ///< nothing to do
    Failed,      ///< left out of the site; reason says why
    Cancelled,   ///< stopped; the site is as before
};

struct JobOutcome
{
    JobState state = JobState::Done;
    std::string reason;
    std::vector<std::string> warnings;
    bool converted = false; ///< the converter made an MP4 (or tried to)
};

/// Does one job: publishes the video into the job's temporary folder inside
/// the site, makes its gallery picture, then swaps the folder into place (an
/// older one aside, then removed) and writes the job's result. Leftovers of
/// an earlier run of the same job are removed first. A failure leaves the
/// video out of the site (no folder) with its reason in the result; a cancel
/// leaves everything as it was.
JobOutcome runJob(const std::string& site, const SitePlan& plan, const PlanEntry& entry, const JobControl& control);

/// Removes what the site holds of a video (its folder, result and picture),
/// for a prune. Returns the first error, 0 when all is gone.
int removeJobFiles(const std::string& site, const PlanEntry& entry);

} // namespace vidlume::site
