#pragma once

#include "winui/Control_win.h"

#include <string>
#include <vector>

namespace vidlume::winui {

/// A combo box with an editable text field and a drop-down list.
class ComboBox : public Control
{
public:
    /// The place's height is the closed box's; the list drops below it.
    void create(const ControlArgs& args, const std::vector<std::string>& items);
    void select(int index);
    void applyDpi(UINT dpi, HFONT font) override;
};

} // namespace vidlume::winui
