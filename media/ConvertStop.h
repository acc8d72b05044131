#pragma once

#include "media/ConvertResult.h"

#include <optional>
#include <string>

namespace vidlume::media {

/// Why a conversion ends before its MP4 is complete.
struct Stop
{
    ConvertStatus status;
    std::string reason; ///< for the user
    int error = 0;      ///< the system error of WriteFailed, when there is one
};

/// What a step of a conversion gives: nothing when the conversion goes on.
using Step = std::optional<Stop>;

} // namespace vidlume::media
