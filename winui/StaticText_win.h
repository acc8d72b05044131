#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// Static text, "&" shown as itself. With a place of width 0 it is as wide as its
/// caption, again after every new text; otherwise it wraps inside its place.
class StaticText : public Control
{
public:
    void create(const ControlArgs& args);
    /// A label whose "&" marks its access key: Alt and that key move the focus
    /// to the control made after it.
    void createLabel(const ControlArgs& args);
    void applyDpi(UINT dpi, HFONT font) override;
    void setText(const std::string& text) override;

private:
    HFONT m_font = nullptr;
    UINT m_dpi = 96;
};

} // namespace vidlume::winui
