#pragma once

#include <windows.h>

namespace vidlume::winui {

/// WM_NEXTDLGCTL for a window that is not made by the dialog manager but runs
/// its keys through IsDialogMessage, which sends this message for a label's
/// access key: the focus moves to the control given (lParam nonzero) or to the
/// next or previous tab stop, and a field's text is selected, as in a dialog box.
void moveDialogFocus(HWND dialog, WPARAM wParam, LPARAM lParam);

} // namespace vidlume::winui
