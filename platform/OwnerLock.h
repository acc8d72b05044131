#pragma once

#include <string>

namespace vidlume::platform {

/// A lock file that says a running process is at work on something beside
/// it. The system lets go of it when the process ends, however it ends, so
/// another process can tell work that is going on from work left behind.
class OwnerLock
{
public:
    OwnerLock() = default;
    OwnerLock(const OwnerLock&) = delete;
    OwnerLock& operator=(const OwnerLock&) = delete;
    OwnerLock(OwnerLock&& other) noexcept;
    OwnerLock& operator=(OwnerLock&& other) noexcept;
    /// Lets go of the lock; the file stays (removeAndRelease takes it away).
    ~OwnerLock();

    /// Creates the lock file at path, which must not exist yet, and holds it.
    /// Returns 0 or the system error (EEXIST when the name is taken).
    int create(const std::string& path);

    /// Takes over the lock file at path when no running process holds it:
    /// true, and this object then holds it. False while its owner runs, or
    /// when there is no such file.
    bool takeAbandoned(const std::string& path);

    /// Removes the lock file, then lets go of it.
    void removeAndRelease();

    bool held() const;

private:
    std::string m_path;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace vidlume::platform
