#pragma once

#include "winui/Control_win.h"

#include <functional>
#include <optional>

namespace vidlume::winui {

/// A single-line text field. One that is read-only (ES_READONLY) takes no typing
/// and stays out of the Tab order, but its text can still be selected and copied.
class Edit : public Control
{
public:
    ~Edit() override;
    void create(const ControlArgs& args);
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    /// Sees every character typed into the field (WM_CHAR) and may replace it; a
    /// character replaced by 0 never reaches the field. Pasted text is not seen.
    void setKeyFilter(char32_t (*filter)(char32_t));

    /// A grey hint shown in the field while it is empty.
    void setPlaceholder(const std::string& text);

    /// A tooltip shown over the field.
    void setToolTip(const std::string& text);

    /// Draws the field on this colour, its text grey while it is disabled.
    void setBackground(COLORREF colour);

protected:
    HBRUSH colours(HDC dc) override;

private:
    static LRESULT CALLBACK filterKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);

    char32_t (*m_keyFilter)(char32_t) = nullptr;
    HWND m_toolTip = nullptr;
    std::optional<COLORREF> m_background;
    HBRUSH m_brush = nullptr;
};

} // namespace vidlume::winui
