#include "winui/TextBox_win.h"

#include <commctrl.h>

namespace vidlume::winui {

TextBox::~TextBox()
{
    if (m_hwnd)
        RemoveWindowSubclass(m_hwnd, &TextBox::dialogKeys, 1);
}

void TextBox::create(const ControlArgs& args)
{
    Control::create(L"EDIT",
                    {args.parent, args.id, args.place, args.text,
                     args.style | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                     args.exStyle | WS_EX_CLIENTEDGE});
    SetWindowSubclass(m_hwnd, &TextBox::dialogKeys, 1, 0);
}

void TextBox::setText(const std::string& text)
{
    // The control breaks lines at "\r\n" only.
    std::string lines;
    for (const char c : text) {
        if (c == '\n')
            lines += '\r';
        lines += c;
    }
    Control::setText(lines);
}

LRESULT CALLBACK TextBox::dialogKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR)
{
    // A field of several lines asks for every key; this one types nothing, so
    // that the window's keys (Tab, Enter, Escape) are left to the window.
    if (message == WM_GETDLGCODE)
        return DefSubclassProc(hwnd, message, wParam, lParam) & ~LRESULT(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace vidlume::winui
