#pragma once

#include "platform/Paths.h"
#include "platform/ProgramInfo.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vidlume {

/// The texts that identify the product, its web pages and the settings file.
/// One instance, GlobalObject, filled once at start-up and read afterwards.
class TGlobalObject
{
public:
    const std::string& HelpAddress() const { return m_helpAddress; }
    const std::string& SettingsFileName() const { return m_settingsFileName; }
    const std::string& ProductName() const { return m_productName; }
    const std::string& WebSiteAddress() const { return m_webSiteAddress; }
    const std::string& VersionText() const { return m_versionText; }
    const std::string& ProductPageAddress() const { return m_productPageAddress; }

    // The setters keep the old value when given one their rule refuses.
    void SetHelpAddress(const std::string& value);        // refuses empty
    void SetSettingsFileName(const std::string& value);   // refuses 3 characters or fewer
    void SetProductName(const std::string& value);        // refuses empty
    void SetWebSiteAddress(const std::string& value);     // refuses empty
    void SetVersionText(const std::string& value);        // refuses empty
    void SetProductPageAddress(const std::string& value); // refuses empty

    /// The version text of the program file, e.g. " 1.101 " for 1.1.0.1.
    std::string GetVersionText() const;

    /// The last count characters of text, or all of it when it is shorter.
    static std::string RightText(const std::string& text, std::uint16_t count);

private:
    std::string m_helpAddress;
    std::string m_settingsFileName;
    std::string m_productName;
    std::string m_webSiteAddress;
    std::string m_versionText;
    std::string m_productPageAddress;
};

/// The one instance; null until createGlobalObject() has run.
extern std::unique_ptr<TGlobalObject> GlobalObject;

/// The maker's web site: scheme and host, no trailing "/".
extern const char* const makerWebSite;

/// " major.minorreleasebuild " as the caption shows it.
std::string formatVersionText(const platform::FileVersion& version);

/// The settings file beside the program: programFilePath cut after its last
/// folder separator, followed by "vidlume.ini".
std::string settingsFileNameFor(const std::string& programFilePath,
                                platform::PathStyle style = platform::nativePathStyle);

/// Where the settings file of the program file at programFilePath lives. Beside
/// the program (settingsFileNameFor) in a build tree or a folder copied as a
/// whole; for an installed program, whose folder belongs to the system, in the
/// user's configuration folder: userConfigFolder/vidlume/vidlume.ini.
std::string settingsFileLocation(const std::string& programFilePath, const std::string& userConfigFolder);

/// Moves a settings file that an earlier version wrote beside an installed
/// program to settingsFile, where it belongs now, so that the user's settings
/// stay and an uninstaller that takes the program's folder away takes nothing of
/// the user's. Nothing moves when settingsFile is beside the program or already
/// exists; the old file is removed only once its copy is written. Returns the
/// system error of a failed move, or 0.
int moveEarlierSettingsFile(const std::string& programFilePath, const std::string& settingsFile);

/// Creates GlobalObject and fills it as the main window's creation does, for a
/// program file at programFilePath (moving an earlier settings file first).
void createGlobalObject(const std::string& programFilePath);

} // namespace vidlume
