#include "winui/CheckBox_win.h"

namespace vidlume::winui {

void CheckBox::create(const ControlArgs& args)
{
    Control::create(L"BUTTON", {args.parent, args.id, args.place, args.text,
                                args.style | BS_AUTOCHECKBOX | WS_TABSTOP, args.exStyle});
}

bool CheckBox::isChecked() const
{
    return SendMessageW(m_hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::setChecked(bool checked)
{
    SendMessageW(m_hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::notified(WORD code)
{
    if (code != BN_CLICKED || !onClick)
        return false;
    onClick();
    return true;
}

} // namespace vidlume::winui
