#include "winui/Accessibility_win.h"
#include "platform/win32/WinText.h"

#include <initguid.h>
#include <oleacc.h>

namespace vidlume::winui {

using platform::win32::toWide;

void setAccessibleName(HWND control, const std::string& name, const std::string& description)
{
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services))))
        return; // the caption stays the name
    services->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                             toWide(name).c_str());
    services->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                             toWide(description).c_str());
    services->Release();
}

} // namespace vidlume::winui
