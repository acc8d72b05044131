#pragma once

#include "page/PageInputs.h"

namespace vidlume::cli {

/// Publishing: makes the new folder inside inputs.outputDir (the default
/// output folder when that is empty) and prints its path on standard output.
/// Files left out are listed on standard error; SIGINT or SIGTERM stops the
/// generation and removes its folder. Opens the folder in the file browser
/// when openFolder is set. Returns the exit code.
int runPublish(PageInputs inputs, bool openFolder);

} // namespace vidlume::cli
