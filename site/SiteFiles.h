#pragma once

#include "site/SiteState.h"

#include <optional>
#include <string>

namespace vidlume::site {

// Where the site keeps its own files, and reading and writing them:
//   SITE/vidlume-site.json                 the plan
//   SITE/vidlume-site/jobs/N.json          job N's result
//   SITE/vidlume-site/pictures/N.jpg       job N's picture for the gallery
//   SITE/vidlume-site/work/job-N/          job N's temporary folder

/// A path inside the site, from a relative one with "/" between names.
std::string sitePath(const std::string& site, const std::string& relative);

std::string planPath(const std::string& site);
std::string resultPath(const std::string& site, int index);
std::string picturesFolder(const std::string& site);
std::string workFolder(const std::string& site, int index);

/// The plan as read from the site.
struct PlanRead
{
    std::optional<SitePlan> plan;
    bool missing = false; ///< there is none yet
    std::string problem;  ///< why it could not be used, for the user; empty when it was read
};
PlanRead readPlan(const std::string& site);

/// Writes the plan whole or not at all. Returns 0 or the system error.
int writePlan(const std::string& site, const SitePlan& plan);

/// A job's result; nothing when there is none or it cannot be used (problem says why).
std::optional<JobResult> readResult(const std::string& site, int index, std::string* problem = nullptr);
int writeResult(const std::string& site, const JobResult& result);

/// Makes the site's own folders. Returns 0 or the error, failed naming the folder.
int makeSiteFolders(const std::string& site, std::string& failed);

} // namespace vidlume::site
