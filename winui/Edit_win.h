#pragma once

#include "winui/Control_win.h"

#include <functional>

namespace vidlume::winui {

/// A single-line edit box.
class Edit : public Control
{
public:
    ~Edit() override;
    void create(const ControlArgs& args);
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    /// Sees every character typed into the box (WM_CHAR) and may replace it; a
    /// character replaced by 0 never reaches the box. Pasted text is not seen.
    void setKeyFilter(std::function<char32_t(char32_t)> filter);

    /// A tooltip shown over the box.
    void setToolTip(const std::string& text);

private:
    static LRESULT CALLBACK filterKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);

    std::function<char32_t(char32_t)> m_keyFilter;
    HWND m_toolTip = nullptr;
};

} // namespace vidlume::winui
