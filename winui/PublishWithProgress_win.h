#pragma once

#include "publish/Publish.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace vidlume::winui {

/// A generation as the window runs it; publishGeneration unless a test fakes it.
using PublishFunction =
    std::function<PublishResult(const PageInputs&, const std::string& programFolder, const PublishControl&)>;

/// Runs a generation on a worker thread while owner is disabled and this thread
/// keeps the windows painted. When it lasts longer than showAfter, a modal
/// progress dialog shows the phase, the file and the bytes, and its Cancel (or
/// its close box) asks the generation to stop. Returns the result, or throws the
/// generation's error on this thread (PublishCancelled after a cancel).
PublishResult publishWithProgress(HWND owner, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder,
                                  std::chrono::milliseconds showAfter = std::chrono::milliseconds(500));

} // namespace vidlume::winui
