#include "winui/Clipboard_win.h"

#include "platform/win32/WinText.h"
#include "winui/WindowsError_win.h"

#include <cstring>

namespace vidlume::winui {

void copyTextToClipboard(HWND owner, const std::string& text)
{
    const std::wstring wide = platform::win32::toWide(text);
    if (!OpenClipboard(owner))
        throwLastError("Cannot open the clipboard");
    EmptyClipboard();
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(memory), wide.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory))
            GlobalFree(memory); // the clipboard did not take it
    }
    CloseClipboard();
}

} // namespace vidlume::winui
