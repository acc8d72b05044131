#include "form/BackgroundGeneration.h"

#include "form/ProgressText.h"
#include "platform/CancelSignals.h"

namespace vidlume::form {

BackgroundGeneration::BackgroundGeneration(PublishFunction publish, PageInputs inputs, std::string programFolder,
                                           std::function<void()> finished, Clock clock)
    : m_clock(std::move(clock)), m_started(m_clock())
{
    m_worker = std::thread([this, publish = std::move(publish), inputs = std::move(inputs),
                            programFolder = std::move(programFolder), finished = std::move(finished)] {
        PublishControl control;
        control.onProgress = [this](const PublishProgress& progress) {
            std::lock_guard lock(m_mutex);
            m_progress = progress;
        };
        // A stop by signal (the terminal closed, the user logging out) cancels
        // the generation as Cancel does, so that it takes its folder away.
        control.cancelRequested = [this] { return m_cancel.load() || platform::cancelSignalReceived(); };
        try {
            m_result = publish(inputs, programFolder, control);
        } catch (...) {
            m_error = std::current_exception();
        }
        m_finished = true;
        if (finished)
            finished();
    });
}

BackgroundGeneration::~BackgroundGeneration()
{
    m_cancel = true;
    join();
}

void BackgroundGeneration::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

bool BackgroundGeneration::progressDue(std::chrono::milliseconds showAfter) const
{
    return m_clock() - m_started >= showAfter;
}

ProgressView BackgroundGeneration::progress()
{
    PublishProgress progress;
    {
        std::lock_guard lock(m_mutex);
        progress = m_progress;
    }
    const auto now = m_clock();
    if (m_phase != progress.phase) {
        m_phase = progress.phase;
        m_phaseStarted = now;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_phaseStarted);
    ProgressView view{progressText(progress), progressSteps(progress, ProgressView::barSteps)};
    if (const auto left = secondsLeft(progress, static_cast<std::uint64_t>(elapsed.count())))
        view.text += "\n" + timeLeftText(*left);
    return view;
}

PublishResult BackgroundGeneration::result()
{
    join();
    if (m_error)
        std::rethrow_exception(m_error);
    return std::move(*m_result);
}

} // namespace vidlume::form
