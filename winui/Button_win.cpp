#include "winui/Button_win.h"

namespace vidlume::winui {

void Button::create(const ControlArgs& args)
{
    Control::create(L"BUTTON", {args.parent, args.id, args.place, args.text,
                                args.style | BS_PUSHBUTTON | WS_TABSTOP, args.exStyle});
}

bool Button::notified(WORD code)
{
    if (code != BN_CLICKED || !onClick)
        return false;
    onClick();
    return true;
}

} // namespace vidlume::winui
