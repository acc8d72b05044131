#include "winui/TrackBar_win.h"

#include <commctrl.h>

namespace vidlume::winui {

namespace {
constexpr int thumbLength = 15; // at 96 DPI
}

void TrackBar::create(const ControlArgs& args, const form::TrackRange& range)
{
    Control::create(TRACKBAR_CLASSW,
                    {args.parent, args.id, args.place, args.text,
                     args.style | TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | TBS_FIXEDLENGTH | WS_TABSTOP,
                     args.exStyle});
    SendMessageW(m_hwnd, TBM_SETRANGE, TRUE, MAKELPARAM(range.minimum, range.maximum));
    SendMessageW(m_hwnd, TBM_SETTICFREQ, WPARAM(range.tickEvery), 0);
    SendMessageW(m_hwnd, TBM_SETLINESIZE, 0, range.lineStep);
    SendMessageW(m_hwnd, TBM_SETPAGESIZE, 0, range.pageStep);
    SendMessageW(m_hwnd, TBM_SETPOS, TRUE, range.minimum);
}

int TrackBar::position() const
{
    return int(SendMessageW(m_hwnd, TBM_GETPOS, 0, 0));
}

void TrackBar::applyDpi(UINT dpi, HFONT font)
{
    Control::applyDpi(dpi, font);
    SendMessageW(m_hwnd, TBM_SETTHUMBLENGTH, WPARAM(scaled(thumbLength, dpi)), 0);
}

bool TrackBar::scrolled()
{
    if (!onChange)
        return false;
    onChange();
    return true;
}

} // namespace vidlume::winui
