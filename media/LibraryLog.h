#pragma once

#include <atomic>

namespace vidlume::media {

/// Counts the errors that the FFmpeg libraries log for one conversion, and
/// keeps every message of theirs off the terminal. A library object logs to
/// the counter that its opaque pointer names (owner()); objects of a finished
/// conversion, or of none, log to nobody.
class LogCounter
{
public:
    LogCounter();
    ~LogCounter();
    LogCounter(const LogCounter&) = delete;
    LogCounter& operator=(const LogCounter&) = delete;

    /// What a codec or format context's opaque pointer is set to.
    void* owner() { return this; }
    int errors() const { return m_errors; }
    /// Forgets what was logged so far (probing a source logs what is no damage).
    void reset() { m_errors = 0; }

    /// Called from the library's log callback for an error of an object this
    /// counter owns.
    void count() { ++m_errors; }

private:
    std::atomic<int> m_errors{0};
};

} // namespace vidlume::media
