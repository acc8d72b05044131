#include "platform/DriveType.h"

#include "platform/win32/WinText.h"

#include <windows.h>

namespace vidlume::platform {

DriveType driveType(const std::string& path)
{
    // The root of the volume that holds the path ("C:\", a mounted folder, or
    // "\\server\share\"): GetDriveTypeW answers for roots only.
    const std::wstring wide = win32::toWide(path);
    std::wstring root(MAX_PATH + 1, L'\0');
    if (wide.empty() || !::GetVolumePathNameW(wide.c_str(), root.data(), DWORD(root.size())))
        return DriveType::NoRootDir;
    root.resize(wcslen(root.c_str()));
    const UINT type = ::GetDriveTypeW(root.c_str());
    return type <= DRIVE_RAMDISK ? static_cast<DriveType>(type) : DriveType::Unknown;
}

} // namespace vidlume::platform
