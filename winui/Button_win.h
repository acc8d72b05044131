#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// A push button; its window tells it of clicks by WM_COMMAND with its id.
class Button : public Control
{
public:
    void create(const ControlArgs& args);
};

/// A check box or, with radio set, a radio button; both change state on a click by themselves.
class CheckBox : public Control
{
public:
    void create(const ControlArgs& args, bool radio = false);
    bool isChecked() const;
    void setChecked(bool checked);
};

} // namespace vidlume::winui
