#include "winui/MessageBoxes_win.h"

#include "app/ErrorText.h"
#include "platform/win32/WinText.h"

#include <exception>

namespace vidlume::winui {

using platform::win32::toWide;

namespace {

void showBox(HWND owner, const std::string& caption, const std::string& text, UINT icon)
{
    MessageBoxW(owner, toWide(text).c_str(), toWide(caption).c_str(), MB_OK | icon);
}

} // namespace

void showWarningBox(HWND owner, const std::string& text)
{
    showBox(owner, "Warning", text, 0);
}

void showInformationBox(HWND owner, const std::string& text)
{
    showBox(owner, applicationTitle, text, MB_ICONINFORMATION);
}

void showErrorReport(HWND owner, const std::string& errorText)
{
    showBox(owner, applicationTitle, errorReportText(errorText), MB_ICONERROR);
}

void runReportingErrors(HWND owner, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        showErrorReport(owner, error.what());
    }
}

} // namespace vidlume::winui
