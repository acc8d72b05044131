#pragma once

class QWidget;

namespace vidlume::ui {

/// Lets every push button inside window answer Enter (Return or the keypad's
/// Enter) with a click while it has the focus, as buttons of a desktop form do.
/// Enter anywhere else is left as it was: no button becomes the window's default.
void clickFocusedButtonsOnEnter(QWidget* window);

} // namespace vidlume::ui
