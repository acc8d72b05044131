#include "app/GlobalUnit.h"

#include "ScratchFolder.h"
#include "platform/Environment.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace vidlume;

TEST(VersionText, runsMinorReleaseAndBuildTogetherBetweenBlanks)
{
    EXPECT_EQ(formatVersionText({1, 1, 0, 1}), " 1.101 ");
    EXPECT_EQ(formatVersionText({10, 0, 0, 0}), " 10.000 ");
    EXPECT_EQ(formatVersionText({2, 10, 3, 45}), " 2.10345 ");
    EXPECT_EQ(formatVersionText({65535, 0, 0, 65535}), " 65535.0065535 ");
}

TEST(VersionText, ofThisProgramIsTheBuildVersion)
{
    EXPECT_EQ(TGlobalObject().GetVersionText(), " 1.101 ");
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
    ::setenv("HOME", "/home/ann", 1);
    ::setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(platform::userConfigFolder(), "/srv/conf");
    ::setenv("XDG_CONFIG_HOME", "relative/conf", 1);
    EXPECT_EQ(platform::userConfigFolder(), "/home/ann/.config");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(platform::userConfigFolder(), "/home/ann/.config");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::userConfigFolder(), "/home/ann/.config");
}

TEST(CreateGlobalObject, fillsEveryProperty)
{
    createGlobalObject("/opt/tools/vidlume");
    ASSERT_TRUE(GlobalObject);
    EXPECT_EQ(GlobalObject->SettingsFileName(), "/opt/tools/vidlume.ini");
    EXPECT_EQ(GlobalObject->ProductName(), "Norvane Vidlume");
    EXPECT_EQ(GlobalObject->VersionText(), " 1.101 ");
    EXPECT_EQ(GlobalObject->WebSiteAddress(), "https://www.norvane.example");
    EXPECT_EQ(GlobalObject->ProductPageAddress(), "https://www.norvane.example/vidlume.htm?exe");
    EXPECT_EQ(GlobalObject->HelpAddress(), "https://www.norvane.example/vidlume-help.htm?exe");
}
