#pragma once

#include "site/SitePlan.h"
#include "site/SiteState.h"

#include <map>
#include <string>
#include <vector>

namespace vidlume::site {

/// Videos on one page of the gallery; more make numbered pages (index-2.htm, ...).
inline constexpr std::size_t galleryPageSize = 300;

/// The gallery's page files for the plan and the jobs' results (index.htm
/// first, then index-2.htm, ...): a published video's entry links to its
/// page; a video without a result, or whose job failed, has none.
std::vector<std::pair<std::string, std::string>> galleryPages(const SitePlan& plan,
                                                               const std::map<int, JobResult>& results);

/// A file or folder name as a part of a relative address: every byte but
/// letters, digits and "-_.!~*()" percent-encoded, as the player pages do.
std::string encodeSegment(const std::string& name);

/// Text for the page: "&", "<", ">", the double quote and the apostrophe as
/// character references; bytes that are not UTF-8 as U+FFFD.
std::string escapeText(const std::string& text);

/// A time since 1970 in nanoseconds as YYYY-MM-DD in UTC.
std::string utcDate(std::int64_t nanoseconds);

/// Writes the gallery's pages into the site, the first last, each whole or
/// not at all, and removes numbered pages left over from a larger gallery.
/// Returns 0 or the system error, failed naming the file.
int writeGallery(const std::string& site, const SitePlan& plan, const std::map<int, JobResult>& results,
                 std::string& failed);

} // namespace vidlume::site
