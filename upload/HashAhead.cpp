#include "upload/HashAhead.h"

#include "upload/Digest.h"

#include <chrono>

namespace vidlume::upload {

HashAhead::HashAhead(LocalFolder& local, std::vector<std::size_t> order)
    : m_local(local), m_order(std::move(order)), m_ready(local.files.size())
{
    for (std::size_t i = 0; i < local.files.size(); ++i)
        m_ready[i] = !local.files[i].sha256.empty();
    m_thread = std::thread([this] { run(); });
}

HashAhead::~HashAhead()
{
    m_stop = true;
    m_thread.join();
}

void HashAhead::run()
{
    for (const std::size_t index : m_order) {
        {
            std::lock_guard lock(m_mutex);
            if (m_ready[index])
                continue;
        }
        LocalFile& file = m_local.files[index];
        m_bytesRead = 0;
        try {
            std::string digest = sha256OfFile(file.fullPath, [this](std::uint64_t done) {
                m_bytesRead = done;
                return !m_stop;
            });
            if (m_stop)
                return;
            std::lock_guard lock(m_mutex);
            file.sha256 = std::move(digest);
            m_ready[index] = true;
        } catch (...) {
            std::lock_guard lock(m_mutex);
            m_failure = std::current_exception();
            m_changed.notify_all();
            return;
        }
        m_changed.notify_all();
    }
}

void HashAhead::waitFor(std::size_t index, const std::function<void(std::uint64_t bytesRead)>& whileWaiting)
{
    std::unique_lock lock(m_mutex);
    while (!m_ready[index]) {
        if (m_failure) // the files before this one are read; this one or one before it failed
            std::rethrow_exception(m_failure);
        m_changed.wait_for(lock, std::chrono::milliseconds(100));
        if (!m_ready[index] && !m_failure) {
            lock.unlock();
            whileWaiting(m_bytesRead);
            lock.lock();
        }
    }
}

} // namespace vidlume::upload
