#include "winui/Edit_win.h"

#include "platform/win32/WinText.h"
#include "winui/WindowsError_win.h"

#include <commctrl.h>

namespace vidlume::winui {

using platform::win32::toWide;

Edit::~Edit()
{
    if (m_keyFilter && m_hwnd)
        RemoveWindowSubclass(m_hwnd, &Edit::filterKeys, 1);
    if (m_brush)
        DeleteObject(m_brush);
}

void Edit::create(const ControlArgs& args)
{
    // A read-only field is a tab stop too: its text can be selected and copied
    // with the keyboard.
    Control::create(L"EDIT", {args.parent, args.id, args.place, args.text,
                              args.style | ES_AUTOHSCROLL | WS_TABSTOP, args.exStyle | WS_EX_CLIENTEDGE});
}

void Edit::setReadOnly(bool readOnly)
{
    SendMessageW(m_hwnd, EM_SETREADONLY, readOnly, 0);
}

bool Edit::isReadOnly() const
{
    return GetWindowLongW(m_hwnd, GWL_STYLE) & ES_READONLY;
}

void Edit::setKeyFilter(char32_t (*filter)(char32_t))
{
    if (!m_keyFilter)
        SetWindowSubclass(m_hwnd, &Edit::filterKeys, 1, reinterpret_cast<DWORD_PTR>(this));
    m_keyFilter = filter;
}

LRESULT CALLBACK Edit::filterKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR self)
{
    if (message == WM_CHAR) {
        const auto* edit = reinterpret_cast<Edit*>(self);
        const char32_t key = edit->m_keyFilter(char32_t(wParam));
        if (key == 0)
            return 0;
        wParam = WPARAM(key);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void Edit::setPlaceholder(const std::string& text)
{
    SendMessageW(m_hwnd, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(toWide(text).c_str()));
}

void Edit::setToolTip(const std::string& text)
{
    if (!m_toolTip) {
        m_toolTip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(m_hwnd), nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        if (!m_toolTip)
            throwLastError("Cannot create a tooltip");
    }
    std::wstring wideText = toWide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(m_hwnd);
    tool.uId = reinterpret_cast<UINT_PTR>(m_hwnd);
    tool.lpszText = wideText.data();
    SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Edit::setBackground(COLORREF colour)
{
    if (m_brush)
        DeleteObject(m_brush);
    m_background = colour;
    m_brush = CreateSolidBrush(colour);
}

HBRUSH Edit::colours(HDC dc)
{
    // In high contrast, or with system colours whose text would not read on it
    // (white text on cream), the field takes the system's colours.
    if (!m_background || !ownBackgroundReadable(*m_background))
        return nullptr;
    SetBkColor(dc, *m_background);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(m_hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    return m_brush;
}

} // namespace vidlume::winui
