#pragma once

#include "form/BackgroundGeneration.h"

#include <windows.h>

#include <chrono>
#include <string>

namespace vidlume::winui {

using form::PublishFunction;

/// Runs a generation in the background (form::BackgroundGeneration) while owner is
/// disabled and this thread keeps the windows painted. When it lasts longer than
/// showAfter, a modal progress dialog shows the phase, the file, the bytes and the
/// time left, and its Cancel (or its close box, or Escape) asks the generation to
/// stop. Returns the result, or throws the generation's error on this thread
/// (PublishCancelled after a cancel).
PublishResult publishWithProgress(HWND owner, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder,
                                  std::chrono::milliseconds showAfter = std::chrono::milliseconds(500));

} // namespace vidlume::winui
