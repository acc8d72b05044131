#pragma once

#include "winui/Control_win.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::winui {

/// A list of lines, one of them selected at a time.
class ListBox : public Control
{
public:
    void create(const ControlArgs& args);
    /// The lines, new; the last one selected.
    void setItems(const std::vector<std::string>& items);
    std::optional<std::size_t> selected() const;
};

} // namespace vidlume::winui
