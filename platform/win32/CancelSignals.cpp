#include "platform/CancelSignals.h"

#include <atomic>
#include <windows.h>

// The Windows side: Ctrl-C and Ctrl-Break in the console, and the console's
// window being closed (or the user logging off), arrive as console control
// events on a thread of their own.

namespace vidlume::platform {

namespace {

std::atomic<int> exitCode{0};
HANDLE cleanedUp = nullptr; // set once the generation has taken its folder away

BOOL WINAPI noteControlEvent(DWORD event)
{
    // The same codes as the shells' for the signals of the same meaning.
    const int code = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 129;
    int none = 0;
    exitCode.compare_exchange_strong(none, code);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the process once this returns (or after about five
        // seconds): wait here until the generation has removed its folder.
        if (cleanedUp)
            ::WaitForSingleObject(cleanedUp, 4500);
    }
    return TRUE;
}

} // namespace

void installCancelSignals()
{
    if (!cleanedUp)
        cleanedUp = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(noteControlEvent, TRUE);
}

void noteCancelRequest()
{
    int none = 0;
    exitCode.compare_exchange_strong(none, 129);
}

bool cancelSignalReceived()
{
    return exitCode.load() != 0;
}

int cancelExitCode()
{
    const int code = exitCode.load();
    return code != 0 ? code : 130;
}

void cancelCleanupDone()
{
    if (cleanedUp)
        ::SetEvent(cleanedUp);
}

} // namespace vidlume::platform
