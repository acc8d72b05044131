#include "platform/CommandLine.h"

#include "platform/win32/WinText.h"

#include <windows.h>
#include <shellapi.h>

namespace vidlume::platform {

std::vector<std::string> programArguments(int, char**)
{
    // main's argv is in the system's code page, which cannot hold every name.
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(win32::toUtf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

} // namespace vidlume::platform
