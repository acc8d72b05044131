#include "app/GlobalUnit.h"

#include "platform/BesideProgram.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace vidlume {

std::unique_ptr<TGlobalObject> GlobalObject;
const char* const makerWebSite = "https://www.norvane.example";

namespace {

const char* const productName = "Norvane Vidlume";
const char* const settingsFileLeafName = "vidlume.ini";
const char* const productPagePath = "/vidlume.htm?exe";
const char* const helpPagePath = "/vidlume-help.htm?exe";

// Shown when the program file carries no readable version, so that start-up
// goes on with a caption of the usual shape.
const char* const unknownVersionText = " 0.000 ";

// A settings file holds a few lines; anything far larger is not one of ours.
constexpr std::size_t largestSettingsFile = 1 << 20;

void setUnlessEmpty(std::string& property, const std::string& value)
{
    if (!value.empty())
        property = value;
}

} // namespace

void TGlobalObject::SetHelpAddress(const std::string& value)
{
    setUnlessEmpty(m_helpAddress, value);
}

void TGlobalObject::SetSettingsFileName(const std::string& value)
{
    // Three characters or fewer is at best a drive root such as "C:\", never a file.
    if (value.size() > 3)
        m_settingsFileName = value;
}

void TGlobalObject::SetProductName(const std::string& value)
{
    setUnlessEmpty(m_productName, value);
}

void TGlobalObject::SetWebSiteAddress(const std::string& value)
{
    setUnlessEmpty(m_webSiteAddress, value);
}

void TGlobalObject::SetVersionText(const std::string& value)
{
    setUnlessEmpty(m_versionText, value);
}

void TGlobalObject::SetProductPageAddress(const std::string& value)
{
    setUnlessEmpty(m_productPageAddress, value);
}

std::string TGlobalObject::GetVersionText() const
{
    const auto version = platform::programFileVersion();
    return version ? formatVersionText(*version) : unknownVersionText;
}

std::string TGlobalObject::RightText(const std::string& text, std::uint16_t count)
{
    if (count >= text.size())
        return text;
    return text.substr(text.size() - count);
}

std::string formatVersionText(const platform::FileVersion& version)
{
    // Minor, release and build run together with no separator: 1.1.0.1 reads " 1.101 ".
    return " " + std::to_string(version.major) + "." + std::to_string(version.minor) +
           std::to_string(version.release) + std::to_string(version.build) + " ";
}

std::string settingsFileNameFor(const std::string& programFilePath, platform::PathStyle style)
{
    const char separator = style == platform::PathStyle::Windows ? '\\' : '/';
    const auto cut = programFilePath.rfind(separator);
    const std::string folder = cut == std::string::npos ? std::string() : programFilePath.substr(0, cut + 1);
    return folder + settingsFileLeafName;
}

std::string settingsFileLocation(const std::string& programFilePath, const std::string& userConfigFolder)
{
    const auto cut = programFilePath.rfind(platform::nativeSeparator);
    const std::string programFolder =
        cut == std::string::npos ? std::string(".") : programFilePath.substr(0, cut);
    if (platform::runsInstalled(programFolder))
        return userConfigFolder + platform::nativeSeparator + platform::settingsFolderName +
               platform::nativeSeparator + settingsFileLeafName;
    return settingsFileNameFor(programFilePath);
}

int moveEarlierSettingsFile(const std::string& programFilePath, const std::string& settingsFile)
{
    const std::string beside = settingsFileNameFor(programFilePath);
    if (settingsFile == beside || !platform::fileExists(beside) || platform::entryExists(settingsFile))
        return 0;
    std::string bytes;
    if (const int error = platform::readSmallFile(beside, largestSettingsFile, bytes))
        return error;
    const auto cut = settingsFile.rfind(platform::nativeSeparator);
    if (cut != std::string::npos && cut > 0)
        if (const int error = platform::createDirectories(settingsFile.substr(0, cut)))
            return error;
    if (const int error = platform::writeWholeFile(settingsFile, bytes))
        return error;
    return platform::removeFile(beside);
}

void createGlobalObject(const std::string& programFilePath)
{
    GlobalObject = std::make_unique<TGlobalObject>();
    const std::string settingsFile = settingsFileLocation(programFilePath, platform::userConfigFolder());
    // A file left where it cannot be moved is left alone: the settings start afresh.
    moveEarlierSettingsFile(programFilePath, settingsFile);
    GlobalObject->SetSettingsFileName(settingsFile);
    GlobalObject->SetProductName(productName);
    GlobalObject->SetVersionText(GlobalObject->GetVersionText());
    const std::string site = makerWebSite;
    GlobalObject->SetWebSiteAddress(site);
    GlobalObject->SetProductPageAddress(site + productPagePath);
    GlobalObject->SetHelpAddress(site + helpPagePath);
}

} // namespace vidlume
