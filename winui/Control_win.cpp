#include "winui/Control_win.h"

#include "platform/win32/WinText.h"
#include "winui/WindowsError_win.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace vidlume::winui {

using platform::win32::toUtf8;
using platform::win32::toWide;

namespace {

/// Every live control by its window; all of them live on the window thread.
std::unordered_map<HWND, Control*>& controls()
{
    static std::unordered_map<HWND, Control*> all;
    return all;
}

} // namespace

int scaled(int pixels, UINT dpi)
{
    return MulDiv(pixels, int(dpi), 96);
}

Control::~Control()
{
    if (m_hwnd)
        controls().erase(m_hwnd);
}

void Control::create(const wchar_t* windowClass, const ControlArgs& args)
{
    m_place = args.place;
    m_hwnd = CreateWindowExW(
        args.exStyle, windowClass, toWide(args.text).c_str(), WS_CHILD | WS_VISIBLE | args.style,
        args.place.left, args.place.top, args.place.width, args.place.height, args.parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), GetModuleHandleW(nullptr), nullptr);
    if (!m_hwnd)
        throwLastError("Cannot create the window's " + toUtf8(windowClass) + " control");
    controls()[m_hwnd] = this;
}

namespace {

/// The relative luminance of a colour, 0 for black to 1 for white.
double luminance(COLORREF colour)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
           0.0722 * linear(GetBValue(colour));
}

} // namespace

bool ownBackgroundReadable(COLORREF background)
{
    HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
    if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
        (contrast.dwFlags & HCF_HIGHCONTRASTON))
        return false;
    const double text = luminance(GetSysColor(COLOR_WINDOWTEXT));
    const double back = luminance(background);
    return (std::max(text, back) + 0.05) / (std::min(text, back) + 0.05) >= 4.5;
}

bool Control::route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!lParam)
        return false;
    const auto found = controls().find(reinterpret_cast<HWND>(lParam));
    if (found == controls().end())
        return false;
    Control& control = *found->second;
    switch (message) {
    case WM_COMMAND:
        result = 0;
        return control.notified(HIWORD(wParam));
    case WM_HSCROLL:
        result = 0;
        return control.scrolled();
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = control.colours(reinterpret_cast<HDC>(wParam))) {
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool Control::notified(WORD)
{
    return false;
}

bool Control::scrolled()
{
    return false;
}

HBRUSH Control::colours(HDC)
{
    return nullptr;
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
    return toUtf8(text);
}

void Control::setText(const std::string& text)
{
    SetWindowTextW(m_hwnd, toWide(text).c_str());
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

} // namespace vidlume::winui
