#include "app/GlobalUnit.h"

#include "ScratchFolder.h"
#include "platform/Environment.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#ifdef _WIN32
#include <windows.h>
#endif

using namespace vidlume;

namespace {

/// Sets an environment variable of this process; nullptr removes it.
void setVariable(const char* name, const char* value)
{
#ifdef _WIN32
    ::SetEnvironmentVariableA(name, value);
#else
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
#endif
}

} // namespace

TEST(VersionText, runsMinorReleaseAndBuildTogetherBetweenBlanks)
{
    EXPECT_EQ(formatVersionText({1, 1, 0, 1}), " 1.101 ");
    EXPECT_EQ(formatVersionText({10, 0, 0, 0}), " 10.000 ");
    EXPECT_EQ(formatVersionText({2, 10, 3, 45}), " 2.10345 ");
    EXPECT_EQ(formatVersionText({65535, 0, 0, 65535}), " 65535.0065535 ");
}

TEST(VersionText, ofThisProgramIsTheBuildVersion)
{
    EXPECT_EQ(TGlobalObject().GetVersionText(), formatVersionText({VIDLUME_BUILD_VERSION}));
}

TEST(TGlobalObjectSetters, refuseEmptyAndKeepTheOldValue)
{
    using Setter = void (TGlobalObject::*)(const std::string&);
    using Getter = const std::string& (TGlobalObject::*)() const;
    const std::vector<std::pair<Setter, Getter>> properties{
        {&TGlobalObject::SetHelpAddress, &TGlobalObject::HelpAddress},
        {&TGlobalObject::SetProductName, &TGlobalObject::ProductName},
        {&TGlobalObject::SetWebSiteAddress, &TGlobalObject::WebSiteAddress},
        {&TGlobalObject::SetVersionText, &TGlobalObject::VersionText},
        {&TGlobalObject::SetProductPageAddress, &TGlobalObject::ProductPageAddress},
    };
    for (const auto& [set, get] : properties) {
        TGlobalObject object;
        (object.*set)("x");
        (object.*set)("");
        EXPECT_EQ((object.*get)(), "x");
    }
}

TEST(TGlobalObjectSetters, settingsFileNameRefusesThreeCharactersButTakesFour)
{
    TGlobalObject object;
    object.SetSettingsFileName("/a/b.ini");
    object.SetSettingsFileName("C:\\");
    EXPECT_EQ(object.SettingsFileName(), "/a/b.ini");
    object.SetSettingsFileName("");
    EXPECT_EQ(object.SettingsFileName(), "/a/b.ini");
    object.SetSettingsFileName("a.in");
    EXPECT_EQ(object.SettingsFileName(), "a.in");
}

TEST(RightText, givesTheLastCharactersOrTheWholeText)
{
    EXPECT_EQ(TGlobalObject::RightText("videos/", 1), "/");
    EXPECT_EQ(TGlobalObject::RightText("videos\\", 1), "\\");
    EXPECT_EQ(TGlobalObject::RightText("", 1), "");
    EXPECT_EQ(TGlobalObject::RightText("ab", 5), "ab");
    EXPECT_EQ(TGlobalObject::RightText("abc", 2), "bc");
    EXPECT_EQ(TGlobalObject::RightText("abc", 0), "");
    EXPECT_EQ(TGlobalObject::RightText("abc", 65535), "abc");
}

TEST(SettingsFileName, liesInTheProgramFolder)
{
    EXPECT_EQ(settingsFileNameFor("/opt/tools/vidlume", platform::PathStyle::Posix),
              "/opt/tools/vidlume.ini");
    EXPECT_EQ(settingsFileNameFor("C:\\Tools\\vidlume.exe", platform::PathStyle::Windows),
              "C:\\Tools\\vidlume.ini");
    // Only the style's own separator counts.
    EXPECT_EQ(settingsFileNameFor("/opt/a\\b/vidlume", platform::PathStyle::Posix), "/opt/a\\b/vidlume.ini");
    EXPECT_EQ(settingsFileNameFor("vidlume", platform::PathStyle::Posix), "vidlume.ini");
}

#ifndef _WIN32
TEST(SettingsFileLocation, isBesideTheProgramInABuildTreeOrCopiedFolder)
{
    test::ScratchFolder root;
    std::filesystem::create_directories(root.path("bin"));
    EXPECT_EQ(settingsFileLocation(root.path("bin/vidlume"), "/home/ann/.config"),
              root.path("bin/vidlume.ini"));
}

TEST(SettingsFileLocation, ofAnInstalledProgramIsInTheUsersConfigurationFolder)
{
    test::ScratchFolder root;
    std::filesystem::create_directories(root.path("bin"));
    std::filesystem::create_directories(root.path("share/vidlume"));
    EXPECT_EQ(settingsFileLocation(root.path("bin/vidlume"), "/home/ann/.config"),
              "/home/ann/.config/vidlume/vidlume.ini");
}

TEST(UserConfigFolder, isXdgConfigHomeWhenAbsoluteElseDotConfigInHome)
{
    setVariable("HOME", "/home/ann");
    setVariable("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(platform::userConfigFolder(), "/srv/conf");
    setVariable("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(platform::userConfigFolder(), "/home/ann/.config");
    setVariable("XDG_CONFIG_HOME", "");
    EXPECT_EQ(platform::userConfigFolder(), "/home/ann/.config");
    setVariable("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(platform::userConfigFolder(), "/home/ann/.config");
}
#else
TEST(SettingsFileLocation, isBesideTheProgramUnlessItIsInstalledUnderProgramFiles)
{
    test::ScratchFolder root;
    const std::string programFiles = root.path() + "\\Program Files";
    std::filesystem::create_directories(programFiles + "\\Vidlume");
    setVariable("ProgramFiles", programFiles.c_str());
    setVariable("ProgramW6432", nullptr);
    setVariable("ProgramFiles(x86)", nullptr);
    const std::string appData = "C:\\Users\\ann\\AppData\\Roaming";

    // A folder of the user's own (a per-user installation, a copied folder): beside the program.
    EXPECT_EQ(settingsFileLocation(root.path() + "\\Tools\\vidlume.exe", appData),
              root.path() + "\\Tools\\vidlume.ini");
    // "Program Files Old" is not inside "Program Files".
    EXPECT_EQ(settingsFileLocation(programFiles + " Old\\vidlume.exe", appData),
              programFiles + " Old\\vidlume.ini");
    // Under Program Files, which a user cannot write, letters in any case.
    EXPECT_EQ(settingsFileLocation(programFiles + "\\Vidlume\\vidlume.exe", appData),
              appData + "\\Vidlume\\vidlume.ini");
    std::string shouting = programFiles + "\\VIDLUME\\vidlume.exe";
    for (char& c : shouting)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(settingsFileLocation(shouting, appData), appData + "\\Vidlume\\vidlume.ini");
    setVariable("ProgramFiles", nullptr);

    // Installed for one user, anywhere: the installer's uninstaller lies beside it.
    test::writeFile(root.path() + "\\Tools\\uninstall.exe", "MZ");
    EXPECT_EQ(settingsFileLocation(root.path() + "\\Tools\\vidlume.exe", appData),
              appData + "\\Vidlume\\vidlume.ini");
}

TEST(UserConfigFolder, isAppDataElseRoamingInTheProfile)
{
    setVariable("USERPROFILE", "C:\\Users\\ann");
    setVariable("APPDATA", "D:\\Roaming");
    EXPECT_EQ(platform::userConfigFolder(), "D:\\Roaming");
    setVariable("APPDATA", nullptr);
    EXPECT_EQ(platform::userConfigFolder(), "C:\\Users\\ann\\AppData\\Roaming");
    EXPECT_EQ(platform::userProfileFolder(), "C:\\Users\\ann");
}
#endif

// A settings file that an earlier version wrote beside an installed program is
// moved to where the settings live now, never over settings already there.
TEST(EarlierSettingsFile, isMovedToTheSettingsLocationUnlessOneIsThere)
{
    test::ScratchFolder root;
    const char s = platform::nativeSeparator;
    const std::string program = root.path() + s + "Programs" + s + "Vidlume" + s + "vidlume.exe";
    const std::string beside = settingsFileNameFor(program);
    const std::string settings = root.path() + s + "config" + s + "Vidlume" + s + "vidlume.ini";
    test::writeFile(beside, "[settings]\nOutPutDir=D:\\Videos\n");

    EXPECT_EQ(moveEarlierSettingsFile(program, settings), 0);
    EXPECT_EQ(test::readFile(settings), "[settings]\nOutPutDir=D:\\Videos\n");
    EXPECT_FALSE(std::filesystem::exists(test::fsPath(beside)));

    // Once settings are in their place, an older file beside the program stays as it is.
    test::writeFile(beside, "[settings]\nOutPutDir=old\n");
    EXPECT_EQ(moveEarlierSettingsFile(program, settings), 0);
    EXPECT_EQ(test::readFile(settings), "[settings]\nOutPutDir=D:\\Videos\n");
    EXPECT_EQ(test::readFile(beside), "[settings]\nOutPutDir=old\n");

    // A program that keeps its settings beside itself moves nothing.
    EXPECT_EQ(moveEarlierSettingsFile(program, beside), 0);
    EXPECT_EQ(test::readFile(beside), "[settings]\nOutPutDir=old\n");
}

TEST(CreateGlobalObject, fillsEveryProperty)
{
#ifdef _WIN32
    createGlobalObject("C:\\Tools\\vidlume.exe");
    ASSERT_TRUE(GlobalObject);
    EXPECT_EQ(GlobalObject->SettingsFileName(), "C:\\Tools\\vidlume.ini");
#else
    createGlobalObject("/opt/tools/vidlume");
    ASSERT_TRUE(GlobalObject);
    EXPECT_EQ(GlobalObject->SettingsFileName(), "/opt/tools/vidlume.ini");
#endif
    EXPECT_EQ(GlobalObject->ProductName(), "Norvane Vidlume");
    EXPECT_EQ(GlobalObject->VersionText(), formatVersionText({VIDLUME_BUILD_VERSION}));
    EXPECT_EQ(GlobalObject->WebSiteAddress(), "https://www.norvane.example");
    EXPECT_EQ(GlobalObject->ProductPageAddress(), "https://www.norvane.example/vidlume.htm?exe");
    EXPECT_EQ(GlobalObject->HelpAddress(), "https://www.norvane.example/vidlume-help.htm?exe");
}
