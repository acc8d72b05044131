#pragma once

#include "publish/Publish.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vidlume::form {

/// A generation as a window runs it; publishGeneration unless a test fakes it.
using PublishFunction =
    std::function<PublishResult(const PageInputs&, const std::string& programFolder, const PublishControl&)>;

/// What a progress window paints: its text, one to three lines (the phase and
/// file, the bytes, the time left once known), and its bar's position.
struct ProgressView
{
    static constexpr int barSteps = 1000;
    std::string text;
    int barPosition = 0; // 0 to barSteps
};

/// One generation on a worker thread, for a window that keeps painting meanwhile:
/// it owns the thread, the latest progress, the cancel and the clock of each
/// phase. The window polls it and paints; the thread is stopped and joined on
/// every way out, the destructor's included.
class BackgroundGeneration
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// Starts the generation. finished, when given, is called on the worker thread
    /// once the result or the error is in: to wake the window's wait at once.
    BackgroundGeneration(PublishFunction publish, PageInputs inputs, std::string programFolder,
                         std::function<void()> finished = {}, Clock clock = &std::chrono::steady_clock::now);
    /// Cancels a generation that still runs and waits for its thread.
    ~BackgroundGeneration();
    BackgroundGeneration(const BackgroundGeneration&) = delete;
    BackgroundGeneration& operator=(const BackgroundGeneration&) = delete;

    bool finished() const { return m_finished; }
    /// Whether the generation has run so long that a window shows its progress:
    /// a shorter one shows none.
    bool progressDue(std::chrono::milliseconds showAfter = std::chrono::milliseconds(500)) const;
    /// Asks the generation to stop; it then removes what it made and throws PublishCancelled.
    void cancel() { m_cancel = true; }
    bool cancelled() const { return m_cancel; }

    /// The progress as it is now, for painting.
    ProgressView progress();

    /// Waits for the end and gives the result, or throws the generation's error
    /// on this thread (PublishCancelled after a cancel).
    PublishResult result();

private:
    void join();

    Clock m_clock;
    std::chrono::steady_clock::time_point m_started;
    std::mutex m_mutex;
    PublishProgress m_progress;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    std::optional<PublishResult> m_result;
    std::exception_ptr m_error;
    // When the phase on screen began, for the time it still needs.
    std::optional<PublishPhase> m_phase;
    std::chrono::steady_clock::time_point m_phaseStarted;
    std::thread m_worker; // last: it starts once everything it uses is there
};

} // namespace vidlume::form
