#pragma once

#include "upload/RemoteSite.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidlume::upload {

/// Reads a WebDAV server's answer to PROPFIND (Depth: 1) on the folder whose
/// path (percent-decoded, from the server's root) is folderPath: the entries
/// directly inside it, with their sizes. Nothing when the answer is not
/// well-formed XML or carries a document type or entity declarations (never
/// loaded or expanded). Answers for other paths are skipped.
std::optional<std::vector<RemoteEntry>> parseDavListing(std::string_view xml, const std::string& folderPath);

} // namespace vidlume::upload
