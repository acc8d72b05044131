#pragma once

#include "form/MainFormLayout.h"

#include <windows.h>

#include <string>

namespace vidlume::winui {

/// A place in a window's client area in pixels at 96 dots per inch.
using Place = form::Place;

/// A pixel length at 96 DPI as it is on a screen of this many dots per inch.
int scaled(int pixels, UINT dpi);

/// True when a field may keep its own background colour: high contrast is off,
/// and the system's text colour reads well on that background (a contrast of at
/// least 4.5 to 1). Otherwise the window paints in the system's colours only.
bool ownBackgroundReadable(COLORREF background);

/// What every control of a window is made with.
struct ControlArgs
{
    HWND parent = nullptr;
    int id = 0;
    Place place;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
};

/// One child window of the Win32 API: a control with its place at 96 DPI, which
/// it keeps when the window moves to a screen of another DPI. A kind of control
/// hears of its clicks and changes itself: the window that holds it hands every
/// message about a child to route().
class Control
{
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    HWND hwnd() const { return m_hwnd; }

    void setEnabled(bool enabled);
    bool isEnabled() const;
    std::string text() const;
    virtual void setText(const std::string& text);
    void focus();

    /// Puts the control at its place for a screen of this DPI, in this font.
    virtual void applyDpi(UINT dpi, HFONT font);

    /// Gives a message that a window has about one of its controls (WM_COMMAND,
    /// WM_HSCROLL, WM_CTLCOLOR...) to that control. True when the control took
    /// it, with the window procedure's answer in result.
    static bool route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    /// Creates the window; throws vidlume::Error when the system refuses.
    void create(const wchar_t* windowClass, const ControlArgs& args);

    /// A notification code of WM_COMMAND; true when the control acted on it.
    virtual bool notified(WORD code);
    /// A move by WM_HSCROLL; true when the control acted on it.
    virtual bool scrolled();
    /// The brush to draw the control on (WM_CTLCOLOR...), its colours set in dc;
    /// nullptr leaves the system's.
    virtual HBRUSH colours(HDC dc);

    HWND m_hwnd = nullptr;
    Place m_place;
};

} // namespace vidlume::winui
