#include "winui/GroupBox_win.h"

namespace vidlume::winui {

void GroupBox::create(const ControlArgs& args)
{
    Control::create(L"BUTTON",
                    {args.parent, args.id, args.place, args.text, args.style | BS_GROUPBOX, args.exStyle});
}

} // namespace vidlume::winui
