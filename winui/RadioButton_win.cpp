#include "winui/RadioButton_win.h"

namespace vidlume::winui {

void RadioButton::create(const ControlArgs& args)
{
    Control::create(L"BUTTON", {args.parent, args.id, args.place, args.text,
                                args.style | BS_AUTORADIOBUTTON | WS_TABSTOP, args.exStyle});
}

} // namespace vidlume::winui
