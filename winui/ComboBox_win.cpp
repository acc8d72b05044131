#include "winui/ComboBox_win.h"
#include "platform/win32/WinText.h"

namespace vidlume::winui {

using platform::win32::toWide;

namespace {
constexpr int listHeight = 120; // room for the four sizes below the box
}

void ComboBox::create(const ControlArgs& args, std::span<const char* const> items)
{
    Control::create(L"COMBOBOX",
                    {args.parent, args.id, args.place, args.text,
                     args.style | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, args.exStyle});
    for (const char* item : items)
        SendMessageW(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
}

void ComboBox::createList(const ControlArgs& args, std::span<const char* const> items)
{
    Control::create(L"COMBOBOX", {args.parent, args.id, args.place, args.text,
                                  args.style | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, args.exStyle});
    for (const char* item : items)
        SendMessageW(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
    select(0);
}

void ComboBox::setItems(const std::vector<std::string>& items)
{
    SendMessageW(m_hwnd, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
}

int ComboBox::selected() const
{
    return int(SendMessageW(m_hwnd, CB_GETCURSEL, 0, 0));
}

void ComboBox::select(int index)
{
    SendMessageW(m_hwnd, CB_SETCURSEL, WPARAM(index), 0);
}

void ComboBox::applyDpi(UINT dpi, HFONT font)
{
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    MoveWindow(m_hwnd, scaled(m_place.left, dpi), scaled(m_place.top, dpi), scaled(m_place.width, dpi),
               scaled(m_place.height + listHeight, dpi), TRUE);
    // The closed box's own height follows its font; make it the place's.
    SendMessageW(m_hwnd, CB_SETITEMHEIGHT, WPARAM(-1), scaled(m_place.height - 6, dpi));
}

} // namespace vidlume::winui
