#pragma once

#include "publish/Publish.h"

#include <cstdint>
#include <string>

namespace vidlume::form {

/// A size for people: bytes below 1 KB, else KB, MB or GB (of 1024) with one decimal.
std::string dataSizeText(std::uint64_t bytes);

/// The progress dialog's two lines: what the generation does with which file,
/// then the bytes done of the total ("Copying holiday.flv\n1.5 MB of 3.0 MB").
std::string progressText(const PublishProgress& progress);

/// How far the generation is, 0 to steps.
int progressSteps(const PublishProgress& progress, int steps);

} // namespace vidlume::form
