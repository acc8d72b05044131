#pragma once

#include "winui/Control_win.h"

#include <functional>

namespace vidlume::winui {

/// A push button.
class Button : public Control
{
public:
    void create(const ControlArgs& args);

    /// Called on every click: by the mouse, by Space or Enter while it has the focus.
    std::function<void()> onClick;

protected:
    bool notified(WORD code) override;
};

} // namespace vidlume::winui
