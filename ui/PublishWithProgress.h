#pragma once

#include "form/BackgroundGeneration.h"

#include <chrono>
#include <string>

class QWidget;

namespace vidlume::ui {

using form::PublishFunction;

struct ProgressTiming
{
    std::chrono::milliseconds showAfter{500};  // a shorter generation shows no dialog
    std::chrono::milliseconds updateEvery{50}; // how often the dialog follows the copies
};

/// Runs a generation in the background (form::BackgroundGeneration) while this
/// thread keeps the windows painted. When it lasts longer than timing.showAfter, a
/// modal progress dialog shows the file being copied, the bytes done of the total
/// and the time left; its Cancel asks the generation to stop. Until that dialog is
/// up, user input waits, as it would for a generation run on this thread. Returns
/// the result, or throws the generation's error on this thread (PublishCancelled
/// after a cancel).
PublishResult publishWithProgress(QWidget* parent, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder, ProgressTiming timing = {});

} // namespace vidlume::ui
