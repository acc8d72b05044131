#include "winui/WindowsError_win.h"

#include "app/Error.h"
#include "platform/win32/WinText.h"

#include <windows.h>

namespace vidlume::winui {

using platform::win32::toUtf8;

void throwLastError(const std::string& what)
{
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = length ? std::wstring(text, length) : L"Windows error " + std::to_wstring(code);
    if (text)
        LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.'))
        words.pop_back();
    throw Error(what + ". " + toUtf8(words));
}

} // namespace vidlume::winui
