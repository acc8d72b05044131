#pragma once

#include "page/PageInputs.h"

namespace vidlume::cli {

/// --print-page: writes the page text for inputs to standard output and
/// creates nothing. Returns the exit code.
int runPrintPage(const PageInputs& inputs);

} // namespace vidlume::cli
