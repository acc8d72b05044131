#include "winui/DialogFocus_win.h"

namespace vidlume::winui {

void moveDialogFocus(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
    if (!target)
        return;
    SetFocus(target);
    if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(target, EM_SETSEL, 0, -1);
}

} // namespace vidlume::winui
