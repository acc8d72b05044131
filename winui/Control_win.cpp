#include "winui/Control_win.h"

#include "winui/WideText_win.h"

namespace vidlume::winui {

int scaled(int pixels, UINT dpi)
{
    return MulDiv(pixels, int(dpi), 96);
}

void Control::create(const wchar_t* windowClass, const ControlArgs& args)
{
    m_id = args.id;
    m_place = args.place;
    m_hwnd = CreateWindowExW(
        args.exStyle, windowClass, wide(args.text).c_str(), WS_CHILD | WS_VISIBLE | args.style,
        args.place.left, args.place.top, args.place.width, args.place.height, args.parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), GetModuleHandleW(nullptr), nullptr);
}

void Control::setEnabled(bool enabled)
{
    EnableWindow(m_hwnd, enabled);
}

bool Control::isEnabled() const
{
    return IsWindowEnabled(m_hwnd);
}

std::string Control::text() const
{
    std::wstring text(std::size_t(GetWindowTextLengthW(m_hwnd)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(m_hwnd, text.data(), int(text.size()))));
    return narrow(text);
}

void Control::setText(const std::string& text)
{
    SetWindowTextW(m_hwnd, wide(text).c_str());
}

void Control::focus()
{
    SetFocus(m_hwnd);
}

void Control::applyDpi(UINT dpi, HFONT font)
{
    MoveWindow(m_hwnd, scaled(m_place.left, dpi), scaled(m_place.top, dpi), scaled(m_place.width, dpi),
               scaled(m_place.height, dpi), TRUE);
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Label::create(const ControlArgs& args)
{
    Control::create(L"STATIC",
                    {args.parent, args.id, args.place, args.text, args.style | SS_NOPREFIX, args.exStyle});
}

void Label::applyDpi(UINT dpi, HFONT font)
{
    m_font = font;
    m_dpi = dpi;
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

void Label::setText(const std::string& text)
{
    Control::setText(text);
    if (m_font)
        applyDpi(m_dpi, m_font);
}

void GroupBox::create(const ControlArgs& args)
{
    Control::create(L"BUTTON",
                    {args.parent, args.id, args.place, args.text, args.style | BS_GROUPBOX, args.exStyle});
}

} // namespace vidlume::winui
