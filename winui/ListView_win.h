#pragma once

#include "winui/Control_win.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vidlume::winui {

/// A column of a list view: its heading and its width at 96 DPI (the last
/// column takes the rest).
struct ListColumn
{
    std::string heading;
    int width;
};

/// A list of rows in columns under headings (a list view in report mode); a
/// text cut short shows whole in a tip under the mouse.
class ListView : public Control
{
public:
    void create(const ControlArgs& args, std::vector<ListColumn> columns);
    void applyDpi(UINT dpi, HFONT font) override;

    /// The rows, new: each a text per column.
    void setRows(const std::vector<std::vector<std::string>>& rows);
    void setCell(std::size_t row, std::size_t column, const std::string& text);

private:
    std::vector<ListColumn> m_columns;
};

} // namespace vidlume::winui
