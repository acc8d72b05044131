#pragma once

#include <string>
#include <string_view>

namespace vidlume::upload {

/// True for a name that is Vidlume's own state and never uploaded: the
/// upload's manifest and temporary files (".vidlume" and anything after it),
/// and a site's plan and job results ("vidlume-site" ... ".json").
bool isOwnStateName(std::string_view name);

/// The temporary name a file is uploaded under, in the folder it goes to:
/// it carries the content's SHA-256, so that a partial file of other content
/// is never continued, and a digest of the final name, so that two files of
/// the same content in one folder do not share it.
std::string temporaryName(std::string_view finalName, std::string_view contentSha);

/// True for a name that temporaryName makes.
bool isTemporaryName(std::string_view name);

/// True for a page (".htm", ".html", any case): placed after everything it shows.
bool isPage(std::string_view path);

} // namespace vidlume::upload
