#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// A frame with a caption around other controls, which are the window's children.
class GroupBox : public Control
{
public:
    void create(const ControlArgs& args);
};

} // namespace vidlume::winui
