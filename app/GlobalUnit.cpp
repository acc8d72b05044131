#include "app/GlobalUnit.h"

// Placeholder: filled in with the application information object.
namespace vidlume {

std::unique_ptr<TGlobalObject> GlobalObject;
const char* const makerWebSite = "http://www.example.com";

void TGlobalObject::SetHelpAddress(const std::string& value) { m_helpAddress = value; }
void TGlobalObject::SetSettingsFileName(const std::string& value) { m_settingsFileName = value; }
void TGlobalObject::SetProductName(const std::string& value) { m_productName = value; }
void TGlobalObject::SetWebSiteAddress(const std::string& value) { m_webSiteAddress = value; }
void TGlobalObject::SetVersionText(const std::string& value) { m_versionText = value; }
void TGlobalObject::SetProductPageAddress(const std::string& value) { m_productPageAddress = value; }
std::string TGlobalObject::GetVersionText() const { return {}; }
std::string TGlobalObject::RightText(const std::string& text, std::uint16_t) { return text; }
std::string formatVersionText(const platform::FileVersion&) { return {}; }
void createGlobalObject(const std::string&) { GlobalObject = std::make_unique<TGlobalObject>(); }

} // namespace vidlume
