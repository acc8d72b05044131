#include "winui/ListBox_win.h"

#include "platform/win32/WinText.h"

namespace vidlume::winui {

using platform::win32::toWide;

void ListBox::create(const ControlArgs& args)
{
    Control::create(L"LISTBOX",
                    {args.parent, args.id, args.place, args.text,
                     args.style | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                     args.exStyle | WS_EX_CLIENTEDGE});
}

void ListBox::setItems(const std::vector<std::string>& items)
{
    SendMessageW(m_hwnd, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(m_hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
    if (!items.empty())
        SendMessageW(m_hwnd, LB_SETCURSEL, WPARAM(items.size() - 1), 0);
}

std::optional<std::size_t> ListBox::selected() const
{
    const LRESULT index = SendMessageW(m_hwnd, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return std::nullopt;
    return std::size_t(index);
}

} // namespace vidlume::winui
