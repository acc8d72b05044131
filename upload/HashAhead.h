#pragma once

#include "upload/LocalFolder.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vidlume::upload {

/// Reads the SHA-256 of the files that have none yet, one after another in
/// the given order, in a thread of its own: the upload sends one file while
/// the next is read. Each digest is written into its LocalFile before
/// waitFor says it is there.
class HashAhead
{
public:
    HashAhead(LocalFolder& local, std::vector<std::size_t> order);
    /// Stops the reading between two pieces and waits for the thread.
    ~HashAhead();
    HashAhead(const HashAhead&) = delete;
    HashAhead& operator=(const HashAhead&) = delete;

    /// Waits until file index has its digest, calling whileWaiting about ten
    /// times a second with the bytes read of the file being read. Throws the
    /// reading's Error, or what whileWaiting throws.
    void waitFor(std::size_t index, const std::function<void(std::uint64_t bytesRead)>& whileWaiting);

private:
    void run();

    LocalFolder& m_local;
    std::vector<std::size_t> m_order;
    std::vector<bool> m_ready;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::exception_ptr m_failure;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_bytesRead{0};
    std::thread m_thread;
};

} // namespace vidlume::upload
