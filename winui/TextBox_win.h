#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// A read-only text of several lines, wrapped at its width, that can be
/// selected and copied. Tab, Enter and Escape keep their meaning in the window.
class TextBox : public Control
{
public:
    ~TextBox() override;
    void create(const ControlArgs& args);
    /// The text, its lines ended by "\n".
    void setText(const std::string& text) override;

private:
    static LRESULT CALLBACK dialogKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR);
};

} // namespace vidlume::winui
