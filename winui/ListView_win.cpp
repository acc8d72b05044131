#include "winui/ListView_win.h"

#include "platform/win32/WinText.h"

#include <commctrl.h>

namespace vidlume::winui {

using platform::win32::toWide;

void ListView::create(const ControlArgs& args, std::vector<ListColumn> columns)
{
    Control::create(WC_LISTVIEWW, {args.parent, args.id, args.place, args.text,
                                   args.style | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                       LVS_NOSORTHEADER | WS_TABSTOP,
                                   args.exStyle | WS_EX_CLIENTEDGE});
    ListView_SetExtendedListViewStyle(m_hwnd, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    m_columns = std::move(columns);
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        std::wstring heading = toWide(m_columns[i].heading);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = heading.data();
        column.cx = m_columns[i].width;
        column.iSubItem = int(i);
        SendMessageW(m_hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void ListView::applyDpi(UINT dpi, HFONT font)
{
    Control::applyDpi(dpi, font);
    // The headings are set again, so that the header measures them in the new font.
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        std::wstring heading = toWide(m_columns[i].heading);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = heading.data();
        SendMessageW(m_hwnd, LVM_SETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    // The last column takes the width the others leave.
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        SendMessageW(m_hwnd, LVM_SETCOLUMNWIDTH, i,
                     i + 1 == m_columns.size() ? LVSCW_AUTOSIZE_USEHEADER
                                               : MAKELPARAM(scaled(m_columns[i].width, dpi), 0));
}

void ListView::setRows(const std::vector<std::vector<std::string>>& rows)
{
    SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_hwnd, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = int(row);
        item.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(m_hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (std::size_t column = 0; column < rows[row].size(); ++column)
            setCell(row, column, rows[row][column]);
    }
    SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void ListView::setCell(std::size_t row, std::size_t column, const std::string& text)
{
    std::wstring wide = toWide(text);
    LVITEMW item{};
    item.iSubItem = int(column);
    item.pszText = wide.data();
    SendMessageW(m_hwnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

} // namespace vidlume::winui
