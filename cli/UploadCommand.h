#pragma once

#include <string>
#include <vector>

namespace vidlume::cli {

/// vidlume-cli upload [OPTIONS] [--] FOLDER URL: the arguments after "upload".
/// Returns the exit status.
int runUpload(const std::vector<std::string>& arguments);

/// The usage text of the upload command, ending in a line break.
std::string uploadUsageText();

} // namespace vidlume::cli
