#pragma once

#include "platform/Process.h"

#include <functional>
#include <vector>

namespace vidlume::convert {

/// The converter's picture mode for a site's gallery: files are the video,
/// the new picture and the channel, in that order. Sends the video's facts
/// and the outcome (media/PictureProtocol.h). Returns the exit status.
int runPictureMode(const std::vector<platform::NativeFile>& files, const std::function<bool()>& cancelled);

} // namespace vidlume::convert
