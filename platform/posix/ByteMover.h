#pragma once

#include "platform/FileCopy.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <sys/types.h>

namespace vidlume::platform::posix {

/// The limit of a ByteMover that reads a pipe or a device until its end.
inline constexpr std::uint64_t unlimited = ~std::uint64_t{0};

/// Moves the bytes of one open source into one open destination, walking the
/// chain of copy methods, reporting progress and polling for cancel.
class ByteMover
{
public:
    /// limit is the number of bytes to move, or unlimited for a pipe or a
    /// device, read until its end; total is what progress reports as the whole.
    ByteMover(int in, int out, std::uint64_t limit, std::uint64_t total, const CopyObserver& observer,
              const CopyTuning& tuning);

    /// Returns 0, ECANCELED, or the error that stopped the copy.
    int run(CopyMethod method);

    std::uint64_t done() const { return m_done; }
    CopyMethod method() const { return m_method; }

private:
    ssize_t moveChunk(std::uint64_t want);

    ssize_t readWrite(std::uint64_t want);

    /// Waits until a pipe or device has bytes, or its writer is gone, looking
    /// for a cancel every tenth of a second: a pipe whose writer never comes
    /// would otherwise hold the copy, and with it the window's Cancel, for ever.
    int waitReadable() const;

    /// Keeps one chunk at roughly a tenth of a second, so that progress moves
    /// and a cancel is seen quickly on a slow disk as well as a fast one.
    void adaptChunk(std::chrono::steady_clock::duration took);

    void report() const;

    bool cancelled() const { return m_observer.cancelRequested && m_observer.cancelRequested(); }

    int m_in;
    int m_out;
    std::uint64_t m_limit;
    std::uint64_t m_total;
    const CopyObserver& m_observer;
    const CopyTuning& m_tuning;
    CopyMethod m_method = CopyMethod::Clone;
    std::uint64_t m_done = 0;
    std::uint64_t m_chunk;
    std::uint64_t m_minChunk;
    std::uint64_t m_maxChunk;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace vidlume::platform::posix
