#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// A horizontal progress bar from 0 to its number of steps.
class ProgressBar : public Control
{
public:
    void create(const ControlArgs& args, int steps);
    void setPosition(int position);
};

} // namespace vidlume::winui
