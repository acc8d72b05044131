#pragma once

#include "publish/Publish.h"

#include <chrono>
#include <functional>
#include <string>

class QWidget;

namespace vidlume::ui {

/// A generation as the window runs it; publishGeneration unless a test fakes it.
using PublishFunction =
    std::function<PublishResult(const PageInputs&, const std::string& programFolder, const PublishControl&)>;

struct ProgressTiming
{
    std::chrono::milliseconds showAfter{500};  // a shorter generation shows no dialog
    std::chrono::milliseconds updateEvery{50}; // how often the dialog follows the copies
};

/// Runs a generation on a worker thread while this thread keeps the windows painted.
/// When it lasts longer than timing.showAfter, a modal progress dialog shows the file
/// being copied and the bytes done of the total; its Cancel asks the generation to
/// stop. Until that dialog is up, user input waits, as it would for a generation run
/// on this thread. Returns the result, or throws the generation's error on this
/// thread (PublishCancelled after a cancel).
PublishResult publishWithProgress(QWidget* parent, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder, ProgressTiming timing = {});

} // namespace vidlume::ui
