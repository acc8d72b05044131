#pragma once

#include <string>
#include <vector>

namespace vidlume::cli {

/// True when the command line asks for a site: its first word is "site"
/// ("vidlume-cli -- site" and "./site" publish a video of that name).
bool isSiteCommand(const std::vector<std::string>& arguments);

/// Runs "vidlume-cli site ..." (the arguments after "site"): the whole site in
/// one run, or one of its steps (plan, job, assemble). Returns the exit code.
int runSiteCommand(const std::vector<std::string>& arguments);

/// The usage text of "vidlume-cli site", ending in a line break.
std::string siteUsageText();

} // namespace vidlume::cli
