#include "app/OutputFolder.h"

#include "ScratchFolder.h"
#include "platform/Error.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using vidlume::ensureOutputFolder;
using vidlume::SettingsFile;

namespace {

struct StartUp
{
    ScratchFolder profile;
    ScratchFolder programFolder;
    std::vector<std::string> warnings;

    std::string settingsPath() const { return programFolder / "vidlume.ini"; }

    void ensure(const std::string& folder)
    {
        ensureOutputFolder(folder, profile.path(), SettingsFile(settingsPath()),
                           [this](const std::string& text) { warnings.push_back(text); });
    }
};

} // namespace

TEST(DefaultOutputFolder, isTheProfileFolderFollowedByVidlume)
{
    EXPECT_EQ(vidlume::defaultOutputFolder("/home/ann"), "/home/ann/vidlume");
    EXPECT_EQ(vidlume::defaultOutputFolder(""), "/vidlume");
}

TEST(EnsureOutputFolder, createsAMissingFolderWithItsParentsSilently)
{
    StartUp start;
    const std::string folder = start.profile / "a/b/vidlume";
    start.ensure(folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(start.warnings.empty());
    EXPECT_FALSE(std::filesystem::exists(start.settingsPath()));
}

TEST(EnsureOutputFolder, anExistingFolderChangesNothing)
{
    StartUp start;
    std::filesystem::create_directory(start.profile / "vidlume");
    start.ensure(start.profile / "vidlume");
    EXPECT_TRUE(start.warnings.empty());
    EXPECT_FALSE(std::filesystem::exists(start.settingsPath()));
}

TEST(EnsureOutputFolder, aPlainFileInTheWayWarnsOnceAndRecordsTheDefaultFolder)
{
    StartUp start;
    const std::string folder = start.profile / "vidlume";
    writeTextFile(folder, "a plain file");

    start.ensure(folder);

    ASSERT_EQ(start.warnings.size(), 1u);
    EXPECT_EQ(start.warnings[0],
              "Can not create output directory:" + folder + ".It will create default directory" + folder);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder));
    EXPECT_EQ(readTextFile(start.settingsPath()), "[settings]\nOutPutDir=" + folder + "\n");
}

TEST(EnsureOutputFolder, theSettingsFileKeepsItsOtherSections)
{
    StartUp start;
    writeTextFile(start.profile / "vidlume", "");
    writeTextFile(start.settingsPath(), "[window]\nLeft=10\n");
    start.ensure(start.profile / "vidlume");
    EXPECT_EQ(readTextFile(start.settingsPath()),
              "[window]\nLeft=10\n[settings]\nOutPutDir=" + start.profile / "vidlume" + "\n");
}

TEST(EnsureOutputFolder, aFolderThatCannotBeCreatedWarnsThenCreatesTheDefaultFolder)
{
    StartUp start;
    writeTextFile(start.profile / "plain", "");
    start.ensure(start.profile / "plain/out");
    EXPECT_EQ(start.warnings.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(start.profile / "vidlume"));
}

TEST(EnsureOutputFolder, anUnwritableSettingsFileEndsWithUnableToWriteAfterTheWarning)
{
    StartUp start;
    writeTextFile(start.profile / "vidlume", "");
    std::filesystem::create_directory(start.settingsPath());
    try {
        start.ensure(start.profile / "vidlume");
        FAIL() << "the settings write did not fail";
    } catch (const vidlume::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + start.settingsPath());
    }
    EXPECT_EQ(start.warnings.size(), 1u);
}
