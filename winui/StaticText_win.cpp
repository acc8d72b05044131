#include "winui/StaticText_win.h"

namespace vidlume::winui {

void StaticText::create(const ControlArgs& args)
{
    Control::create(L"STATIC",
                    {args.parent, args.id, args.place, args.text, args.style | SS_NOPREFIX, args.exStyle});
}

void StaticText::createLabel(const ControlArgs& args)
{
    Control::create(L"STATIC", args);
}

void StaticText::applyDpi(UINT dpi, HFONT font)
{
    m_font = font;
    m_dpi = dpi;
    if (m_place.width != 0) {
        Control::applyDpi(dpi, font);
        return;
    }
    std::wstring caption(std::size_t(GetWindowTextLengthW(m_hwnd)) + 1, L'\0');
    caption.resize(std::size_t(GetWindowTextW(m_hwnd, caption.data(), int(caption.size()))));
    HDC dc = GetDC(m_hwnd);
    const HGDIOBJ before = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &extent);
    SelectObject(dc, before);
    ReleaseDC(m_hwnd, dc);
    MoveWindow(m_hwnd, scaled(m_place.left, dpi), scaled(m_place.top, dpi), extent.cx + 1,
               scaled(m_place.height, dpi), TRUE);
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void StaticText::setText(const std::string& text)
{
    Control::setText(text);
    if (m_font && m_place.width == 0)
        applyDpi(m_dpi, m_font);
}

} // namespace vidlume::winui
