#pragma once

#include "winui/Control_win.h"

#include <functional>

namespace vidlume::winui {

/// A horizontal track bar with tick marks below, at the range's minimum at first.
class TrackBar : public Control
{
public:
    void create(const ControlArgs& args, const form::TrackRange& range);
    int position() const;
    void applyDpi(UINT dpi, HFONT font) override;

    /// Called on every move: by the mouse or by the keys.
    std::function<void()> onChange;

protected:
    bool scrolled() override;
};

} // namespace vidlume::winui
