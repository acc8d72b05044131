#pragma once

#include "winui/Control_win.h"

#include <span>

namespace vidlume::winui {

/// A combo box with an editable text field and a drop-down list.
class ComboBox : public Control
{
public:
    /// The place's height is the closed box's; the list of items drops below it.
    void create(const ControlArgs& args, std::span<const char* const> items);
    void select(int index);
    void applyDpi(UINT dpi, HFONT font) override;
};

} // namespace vidlume::winui
