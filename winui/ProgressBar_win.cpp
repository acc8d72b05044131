#include "winui/ProgressBar_win.h"

#include <commctrl.h>

namespace vidlume::winui {

void ProgressBar::create(const ControlArgs& args, int steps)
{
    Control::create(PROGRESS_CLASSW, args);
    SendMessageW(m_hwnd, PBM_SETRANGE32, 0, steps);
}

void ProgressBar::setPosition(int position)
{
    SendMessageW(m_hwnd, PBM_SETPOS, WPARAM(position), 0);
}

} // namespace vidlume::winui
