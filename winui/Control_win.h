#pragma once

#include <windows.h>

#include <string>

namespace vidlume::winui {

/// A place in a window's client area in pixels at 96 dots per inch.
struct Place
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// A pixel length at 96 DPI as it is on a screen of this many dots per inch.
int scaled(int pixels, UINT dpi);

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
/// it keeps when the window moves to a screen of another DPI.
class Control
{
public:
    virtual ~Control() = default;

    HWND hwnd() const { return m_hwnd; }
    int id() const { return m_id; }

    void setEnabled(bool enabled);
    bool isEnabled() const;
    std::string text() const;
    void setText(const std::string& text);
    void focus();

    /// Puts the control at its place for a screen of this DPI, in this font.
    virtual void applyDpi(UINT dpi, HFONT font);

protected:
    void create(const wchar_t* windowClass, const ControlArgs& args);

    HWND m_hwnd = nullptr;
    int m_id = 0;
    Place m_place;
};

/// Static text as wide as its caption; "&" shows as itself.
class Label : public Control
{
public:
    void create(const ControlArgs& args);
    void applyDpi(UINT dpi, HFONT font) override;
    void setText(const std::string& text);

private:
    HFONT m_font = nullptr;
    UINT m_dpi = 96;
};

/// A frame with a caption around other controls, which are the window's children.
class GroupBox : public Control
{
public:
    void create(const ControlArgs& args);
};

} // namespace vidlume::winui
