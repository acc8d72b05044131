#pragma once

// The processes a test's own child started, found in the system's process list.

#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace vidlume::test {

/// The id of a process that parent started (of that program file name, when
/// one is given), or 0 when there is none (yet).
inline DWORD childProcessOf(DWORD parent, const wchar_t* programName = nullptr)
{
    DWORD found = 0;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found; more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && (!programName || std::wstring(entry.szExeFile) == programName))
            found = entry.th32ProcessID;
    ::CloseHandle(snapshot);
    return found;
}

} // namespace vidlume::test
