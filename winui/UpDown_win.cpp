#include "winui/UpDown_win.h"

#include <commctrl.h>

namespace vidlume::winui {

void UpDown::create(const ControlArgs& args, const Control& buddy, int minimum, int maximum)
{
    m_buddy = buddy.hwnd();
    Control::create(UPDOWN_CLASSW,
                    {args.parent, args.id, args.place, args.text,
                     args.style | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                     args.exStyle});
    SendMessageW(m_hwnd, UDM_SETRANGE32, WPARAM(minimum), LPARAM(maximum));
    SendMessageW(m_hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(m_buddy), 0);
}

void UpDown::applyDpi(UINT, HFONT)
{
    // Set again, the buddy gives up the arrows' width at its new size.
    SendMessageW(m_hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(m_buddy), 0);
}

} // namespace vidlume::winui
