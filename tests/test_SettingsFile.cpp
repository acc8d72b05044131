#include "app/SettingsFile.h"

#include "ScratchFolder.h"
#include "platform/Error.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using vidlume::SettingsFile;
using namespace vidlume::test;

namespace {

std::size_t entriesIn(const std::string& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

void expectWriteFails(const std::string& fileName)
{
    try {
        SettingsFile(fileName).writeString("settings", "OutPutDir", "/x");
        FAIL() << "the write did not fail";
    } catch (const vidlume::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + fileName);
    }
}

} // namespace

TEST(SettingsFile, createsTheFileAndLeavesNoTemporaryFileBehind)
{
    ScratchFolder folder;
    SettingsFile(folder.path("vidlume.ini")).writeString("settings", "OutPutDir", "/home/ann/vidlume");
    EXPECT_EQ(readFile(folder.path("vidlume.ini")), "[settings]\nOutPutDir=/home/ann/vidlume\n");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(SettingsFile, keepsOtherSectionsAndThePermissionsOfAnExistingFile)
{
    ScratchFolder folder;
    writeFile(folder.path("vidlume.ini"), "[window]\nLeft=10\n[Settings]\noutputdir=/old\n");
    std::filesystem::permissions(folder.path("vidlume.ini"), std::filesystem::perms(0640));

    SettingsFile(folder.path("vidlume.ini")).writeString("settings", "OutPutDir", "/new");

    EXPECT_EQ(readFile(folder.path("vidlume.ini")), "[window]\nLeft=10\n[Settings]\noutputdir=/new\n");
    EXPECT_EQ(std::filesystem::status(folder.path("vidlume.ini")).permissions(),
              std::filesystem::perms(0640));
}

TEST(SettingsFile, aFolderThatCannotHoldTheFileGivesUnableToWrite)
{
    ScratchFolder folder;
    writeFile(folder.path("plain"), "not a folder");
    expectWriteFails(folder.path("plain/vidlume.ini"));
    expectWriteFails(folder.path("missing/vidlume.ini"));
}

TEST(SettingsFile, aReadOnlyProgramFolderGivesUnableToWriteAndKeepsTheOldFile)
{
    ScratchFolder scratch;
    const std::string folder = scratch.path("program");
    // Root writes into read-only folders, so as root the folder is a file system
    // mounted read-only instead.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && !scratch.mountSmallFileSystem("program", "64k"))
        GTEST_SKIP() << "cannot mount a tmpfs here";
    writeFile(folder + "/vidlume.ini", "[window]\nLeft=10\n");
    if (asRoot)
        ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    else
        std::filesystem::permissions(folder, std::filesystem::perms(0555));

    expectWriteFails(folder + "/vidlume.ini");
    EXPECT_EQ(readFile(folder + "/vidlume.ini"), "[window]\nLeft=10\n");
    std::error_code ignored; // lets the scratch folder go again
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
}

TEST(SettingsFile, aReadOnlyFileGivesUnableToWriteAndStaysAsItWas)
{
    ScratchFolder folder;
    writeFile(folder.path("vidlume.ini"), "[window]\nLeft=10\n");
    std::filesystem::permissions(folder.path("vidlume.ini"), std::filesystem::perms(0444));
    expectWriteFails(folder.path("vidlume.ini"));
    EXPECT_EQ(readFile(folder.path("vidlume.ini")), "[window]\nLeft=10\n");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(SettingsFile, aFolderInPlaceOfTheFileGivesUnableToWrite)
{
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path("vidlume.ini"));
    expectWriteFails(folder.path("vidlume.ini"));
}
