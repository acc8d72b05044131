#include "app/OutputFolder.h"

#include "ScratchFolder.h"
#include "app/Error.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using vidlume::ensureOutputFolder;
using vidlume::SettingsFile;
using namespace vidlume::test;

namespace {

#ifdef _WIN32
const std::string newLine = "\r\n"; // a new settings file's line breaks
#else
const std::string newLine = "\n";
#endif

struct StartUp
{
    ScratchFolder profile;
    ScratchFolder programFolder;
    std::vector<std::string> warnings;

    std::string settingsPath() const { return programFolder.path("vidlume.ini"); }

    void ensure(const std::string& folder)
    {
        ensureOutputFolder(folder, profile.path(), SettingsFile(settingsPath()),
                           [this](const std::string& text) { warnings.push_back(text); });
    }
};

} // namespace

TEST(DefaultOutputFolder, isTheProfileFolderFollowedByVidlume)
{
#ifdef _WIN32
    EXPECT_EQ(vidlume::defaultOutputFolder("C:\\Users\\ann"), "C:\\Users\\ann\\vidlume");
#else
    EXPECT_EQ(vidlume::defaultOutputFolder("/home/ann"), "/home/ann/vidlume");
    EXPECT_EQ(vidlume::defaultOutputFolder(""), "/vidlume");
#endif
}

TEST(EnsureOutputFolder, createsAMissingFolderWithItsParentsSilently)
{
    StartUp start;
    const std::string folder = start.profile.path("a/b/vidlume");
    start.ensure(folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(start.warnings.empty());
    EXPECT_FALSE(std::filesystem::exists(start.settingsPath()));
}

TEST(EnsureOutputFolder, anExistingFolderChangesNothing)
{
    StartUp start;
    std::filesystem::create_directory(start.profile.path("vidlume"));
    start.ensure(start.profile.path("vidlume"));
    EXPECT_TRUE(start.warnings.empty());
    EXPECT_FALSE(std::filesystem::exists(start.settingsPath()));
}

TEST(EnsureOutputFolder, aPlainFileInTheWayWarnsOnceAndRecordsTheDefaultFolder)
{
    StartUp start;
    const std::string folder = start.profile.path("vidlume");
    writeFile(folder, "a plain file");

    start.ensure(folder);

    ASSERT_EQ(start.warnings.size(), 1u);
    EXPECT_EQ(start.warnings[0],
              "Can not create output directory:" + folder + ".It will create default directory" + folder);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder));
    EXPECT_EQ(readFile(start.settingsPath()), "[settings]" + newLine + "OutPutDir=" + folder + newLine);
}

TEST(EnsureOutputFolder, aSettingsFileInAMissingConfigurationFolderIsWritten)
{
    StartUp start;
    const std::string folder = start.profile.path("vidlume");
    writeFile(folder, "");
    const std::string settings = start.profile.path(".config/vidlume/vidlume.ini");

    ensureOutputFolder(folder, start.profile.path(), SettingsFile(settings), [](const std::string&) {});

    EXPECT_EQ(readFile(settings), "[settings]" + newLine + "OutPutDir=" + folder + newLine);
}

TEST(EnsureOutputFolder, theSettingsFileKeepsItsOtherSections)
{
    StartUp start;
    writeFile(start.profile.path("vidlume"), "");
    writeFile(start.settingsPath(), "[window]\nLeft=10\n");
    start.ensure(start.profile.path("vidlume"));
    EXPECT_EQ(readFile(start.settingsPath()),
              "[window]\nLeft=10\n[settings]\nOutPutDir=" + start.profile.path("vidlume") + "\n");
}

TEST(EnsureOutputFolder, aFolderThatCannotBeCreatedWarnsThenCreatesTheDefaultFolder)
{
    StartUp start;
    writeFile(start.profile.path("plain"), "");
    start.ensure(start.profile.path("plain/out"));
    EXPECT_EQ(start.warnings.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(start.profile.path("vidlume")));
}

TEST(EnsureOutputFolder, anUnwritableSettingsFileEndsWithUnableToWriteAfterTheWarning)
{
    StartUp start;
    writeFile(start.profile.path("vidlume"), "");
    std::filesystem::create_directory(start.settingsPath());
    try {
        start.ensure(start.profile.path("vidlume"));
        FAIL() << "the settings write did not fail";
    } catch (const vidlume::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + start.settingsPath());
    }
    EXPECT_EQ(start.warnings.size(), 1u);
}
