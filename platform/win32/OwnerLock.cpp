#include "platform/OwnerLock.h"

#include "platform/win32/WinText.h"

#include <windows.h>

#include <cerrno>
#include <utility>

namespace vidlume::platform {

using win32::lastErrno;
using win32::toWide;

// The owner holds its lock file open without sharing: any other open fails
// while it runs, and the system closes the handle when it ends.

OwnerLock::OwnerLock(OwnerLock&& other) noexcept
    : m_path(std::move(other.m_path)), m_handle(std::exchange(other.m_handle, nullptr))
{
}

OwnerLock& OwnerLock::operator=(OwnerLock&& other) noexcept
{
    if (this != &other) {
        if (m_handle)
            ::CloseHandle(m_handle);
        m_path = std::move(other.m_path);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

OwnerLock::~OwnerLock()
{
    if (m_handle)
        ::CloseHandle(m_handle);
}

bool OwnerLock::held() const
{
    return m_handle != nullptr;
}

int OwnerLock::create(const std::string& path)
{
    const HANDLE handle = ::CreateFileW(toWide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_EXISTS ? EEXIST : lastErrno();
    *this = OwnerLock();
    m_path = path;
    m_handle = handle;
    return 0;
}

bool OwnerLock::takeAbandoned(const std::string& path)
{
    const HANDLE handle = ::CreateFileW(toWide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    *this = OwnerLock();
    m_path = path;
    m_handle = handle;
    return true;
}

void OwnerLock::removeAndRelease()
{
    if (!m_handle)
        return;
    // Marked for deletion through the open handle: gone once it is closed.
    FILE_DISPOSITION_INFO disposition{TRUE};
    ::SetFileInformationByHandle(m_handle, FileDispositionInfo, &disposition, sizeof disposition);
    ::CloseHandle(std::exchange(m_handle, nullptr));
}

} // namespace vidlume::platform
