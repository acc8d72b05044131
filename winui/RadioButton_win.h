#pragma once

#include "winui/CheckBox_win.h"

namespace vidlume::winui {

/// A radio button: checking it unchecks the others of its group, which runs from
/// a control with WS_GROUP to the next one with it. The group is one tab stop,
/// on its checked button (its first while none is checked); the arrow keys move
/// within it.
class RadioButton : public CheckBox
{
public:
    void create(const ControlArgs& args);

protected:
    bool notified(WORD code) override;
};

} // namespace vidlume::winui
