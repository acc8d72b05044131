#include "platform/Launcher.h"

#include "platform/win32/WinText.h"

#include <cerrno>
#include <windows.h>
#include <shellapi.h>

namespace vidlume::platform {

namespace {

class WindowsLauncher final : public Launcher
{
public:
    void openFolder(const std::string& path) override { startDetached(fileBrowserCommand(path)); }
    void openUrl(const std::string& url) override
    {
        ::ShellExecuteW(nullptr, L"open", win32::toWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
};

} // namespace

int startDetached(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return EINVAL;
    // No shell: the program is found by CreateProcessW's own search, and the
    // arguments reach it as written, whatever characters they hold.
    std::wstring line = win32::commandLineOf(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP,
                          nullptr, nullptr, &startup, &process))
        return win32::lastErrno();
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 0;
}

std::vector<std::string> fileBrowserCommand(const std::string& folder)
{
    return {"explorer", folder};
}

Launcher& systemLauncher()
{
    static WindowsLauncher launcher;
    return launcher;
}

} // namespace vidlume::platform
