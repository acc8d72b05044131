#include "platform/ProgramInfo.h"

#include "platform/win32/WinText.h"

#include <vector>
#include <windows.h>

namespace vidlume::platform {

namespace {

std::wstring moduleFileName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

std::string programFilePath()
{
    return win32::toUtf8(moduleFileName());
}

std::string programFolder()
{
    const std::string path = programFilePath();
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::optional<FileVersion> programFileVersion()
{
    // The version resource that the build compiles into every program from the
    // project's one version number.
    const std::wstring path = moduleFileName();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return FileVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                       HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

} // namespace vidlume::platform
