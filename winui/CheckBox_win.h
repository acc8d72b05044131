#pragma once

#include "winui/Control_win.h"

#include <functional>

namespace vidlume::winui {

/// A check box; a click changes its state by itself.
class CheckBox : public Control
{
public:
    void create(const ControlArgs& args);
    bool isChecked() const;
    void setChecked(bool checked);

    /// Called after every click, the state already changed.
    std::function<void()> onClick;

protected:
    bool notified(WORD code) override;
};

} // namespace vidlume::winui
