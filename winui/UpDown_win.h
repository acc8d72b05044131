#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// The arrows beside a number field that count its number up and down (also
/// with the Up and Down keys in the field).
class UpDown : public Control
{
public:
    /// Made right of buddy, which it fills with its number.
    void create(const ControlArgs& args, const Control& buddy, int minimum, int maximum);
    void applyDpi(UINT dpi, HFONT font) override;

private:
    HWND m_buddy = nullptr;
};

} // namespace vidlume::winui
