#pragma once

#include "winui/CheckBox_win.h"

namespace vidlume::winui {

/// A radio button: checking it unchecks the others of its group, which runs from
/// a control with WS_GROUP to the next one with it.
class RadioButton : public CheckBox
{
public:
    void create(const ControlArgs& args);
};

} // namespace vidlume::winui
