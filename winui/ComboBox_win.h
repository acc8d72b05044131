#pragma once

#include "winui/Control_win.h"

#include <span>
#include <string>
#include <vector>

namespace vidlume::winui {

/// A combo box with an editable text field and a drop-down list, or a
/// drop-down list alone.
class ComboBox : public Control
{
public:
    /// The place's height is the closed box's; the list of items drops below it.
    void create(const ControlArgs& args, std::span<const char* const> items);
    /// A drop-down list: one of its items is chosen, nothing typed.
    void createList(const ControlArgs& args, std::span<const char* const> items);
    void setItems(const std::vector<std::string>& items);
    void select(int index);
    /// The chosen item's index; -1 when none is.
    int selected() const;
    void applyDpi(UINT dpi, HFONT font) override;
};

} // namespace vidlume::winui
