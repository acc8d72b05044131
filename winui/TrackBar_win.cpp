#include "winui/TrackBar_win.h"

#include <commctrl.h>

namespace vidlume::winui {

void TrackBar::create(const ControlArgs& args, const TrackBarRange& range)
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
    m_thumbLength = range.thumbLength;
}

int TrackBar::position() const
{
    return int(SendMessageW(m_hwnd, TBM_GETPOS, 0, 0));
}

void TrackBar::applyDpi(UINT dpi, HFONT font)
{
    Control::applyDpi(dpi, font);
    SendMessageW(m_hwnd, TBM_SETTHUMBLENGTH, WPARAM(scaled(m_thumbLength, dpi)), 0);
}

} // namespace vidlume::winui
