#pragma once

#include "winui/Control_win.h"

namespace vidlume::winui {

/// What a horizontal track bar is made with.
struct TrackBarRange
{
    int minimum = 0;
    int maximum = 100;
    int tickEvery = 10; // tick marks below the bar
    int lineStep = 1;   // arrow keys
    int pageStep = 2;   // page keys
    int thumbLength = 15;
};

/// A horizontal track bar; its window hears of every move by WM_HSCROLL.
class TrackBar : public Control
{
public:
    void create(const ControlArgs& args, const TrackBarRange& range);
    int position() const;
    void applyDpi(UINT dpi, HFONT font) override;

private:
    int m_thumbLength = 15;
};

} // namespace vidlume::winui
