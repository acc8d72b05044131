#include "winui/RadioButton_win.h"

namespace vidlume::winui {

namespace {

void setTabStop(HWND button, bool on)
{
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    SetWindowLongPtrW(button, GWL_STYLE, on ? style | WS_TABSTOP : style & ~LONG_PTR(WS_TABSTOP));
}

bool startsGroup(HWND control)
{
    return GetWindowLongPtrW(control, GWL_STYLE) & WS_GROUP;
}

} // namespace

void RadioButton::create(const ControlArgs& args)
{
    const DWORD tabStop = args.style & WS_GROUP ? WS_TABSTOP : 0;
    Control::create(L"BUTTON", {args.parent, args.id, args.place, args.text,
                                args.style | BS_AUTORADIOBUTTON | tabStop, args.exStyle});
}

bool RadioButton::notified(WORD code)
{
    if (code == BN_CLICKED && isChecked()) {
        // The tab stop follows the check, so that Tab comes back to it.
        HWND first = m_hwnd;
        while (!startsGroup(first))
            if (HWND before = GetWindow(first, GW_HWNDPREV))
                first = before;
            else
                break;
        for (HWND button = first; button; button = GetWindow(button, GW_HWNDNEXT)) {
            if (button != first && startsGroup(button))
                break;
            setTabStop(button, button == m_hwnd);
        }
    }
    return CheckBox::notified(code);
}

} // namespace vidlume::winui
