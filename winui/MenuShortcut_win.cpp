#include "winui/MenuShortcut_win.h"

#include <string_view>

namespace vidlume::winui {

std::optional<ACCEL> acceleratorOf(const char* shortcut, WORD command)
{
    if (!shortcut)
        return std::nullopt;
    std::string_view rest = shortcut;
    BYTE modifiers = FVIRTKEY;
    for (;;) {
        const std::size_t plus = rest.find('+');
        if (plus == std::string_view::npos)
            break;
        const std::string_view modifier = rest.substr(0, plus);
        if (modifier == "Ctrl")
            modifiers |= FCONTROL;
        else if (modifier == "Shift")
            modifiers |= FSHIFT;
        else if (modifier == "Alt")
            modifiers |= FALT;
        else
            return std::nullopt;
        rest.remove_prefix(plus + 1);
    }
    if (rest.size() != 1)
        return std::nullopt;
    char key = rest[0];
    if (key >= 'a' && key <= 'z')
        key = char(key - 'a' + 'A');
    // Letters and digits are their own virtual-key codes.
    if (!((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')))
        return std::nullopt;
    return ACCEL{modifiers, WORD(key), command};
}

} // namespace vidlume::winui
