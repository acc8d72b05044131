#pragma once

#include "publish/Publish.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vidlume::form {

/// A size for people: bytes below 1 KiB, else KiB, MiB, GiB or TiB with one decimal.
std::string dataSizeText(std::uint64_t bytes);

/// The progress dialog's two lines: what the generation does with which file,
/// then the bytes done of the phase's total ("Copying holiday.flv\n1.5 MiB of 3.0 MiB").
std::string progressText(const PublishProgress& progress);

/// The seconds the phase still needs at the pace it has had for elapsedMilliseconds;
/// nothing before its first second, when that pace is not known yet.
std::optional<std::uint64_t> secondsLeft(const PublishProgress& progress, std::uint64_t elapsedMilliseconds);

/// "About 5 seconds left", "About 3 minutes left", "About 2 hours 5 min left".
std::string timeLeftText(std::uint64_t seconds);

/// How far the generation is, 0 to steps.
int progressSteps(const PublishProgress& progress, int steps);

} // namespace vidlume::form
