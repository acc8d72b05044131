#include "app/SettingsFile.h"

#include "ScratchFolder.h"
#include "platform/Error.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>

using vidlume::SettingsFile;

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
    SettingsFile(folder / "vidlume.ini").writeString("settings", "OutPutDir", "/home/ann/vidlume");
    EXPECT_EQ(readTextFile(folder / "vidlume.ini"), "[settings]\nOutPutDir=/home/ann/vidlume\n");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(SettingsFile, keepsOtherSectionsAndThePermissionsOfAnExistingFile)
{
    ScratchFolder folder;
    writeTextFile(folder / "vidlume.ini", "[window]\nLeft=10\n[Settings]\noutputdir=/old\n");
    std::filesystem::permissions(folder / "vidlume.ini", std::filesystem::perms(0640));

    SettingsFile(folder / "vidlume.ini").writeString("settings", "OutPutDir", "/new");

    EXPECT_EQ(readTextFile(folder / "vidlume.ini"), "[window]\nLeft=10\n[Settings]\noutputdir=/new\n");
    EXPECT_EQ(std::filesystem::status(folder / "vidlume.ini").permissions(), std::filesystem::perms(0640));
}

TEST(SettingsFile, aFolderThatCannotHoldTheFileGivesUnableToWrite)
{
    ScratchFolder folder;
    writeTextFile(folder / "plain", "not a folder");
    expectWriteFails(folder / "plain/vidlume.ini");
    expectWriteFails(folder / "missing/vidlume.ini");
}

TEST(SettingsFile, aReadOnlyProgramFolderGivesUnableToWriteAndKeepsTheOldFile)
{
    ScratchFolder scratch;
    const std::string folder = scratch / "program";
    std::filesystem::create_directory(folder);
    // Root writes into read-only folders, so as root the folder is a file system
    // mounted read-only instead.
    const bool mounted = ::geteuid() == 0;
    if (mounted && ::mount("vidlume-test", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::unique_ptr<const std::string, void (*)(const std::string*)> unmount(
        mounted ? &folder : nullptr, [](const std::string* path) { ::umount2(path->c_str(), MNT_DETACH); });
    writeTextFile(folder + "/vidlume.ini", "[window]\nLeft=10\n");
    if (mounted)
        ASSERT_EQ(::mount("vidlume-test", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    else
        std::filesystem::permissions(folder, std::filesystem::perms(0555));

    expectWriteFails(folder + "/vidlume.ini");
    EXPECT_EQ(readTextFile(folder + "/vidlume.ini"), "[window]\nLeft=10\n");
}

TEST(SettingsFile, aFolderInPlaceOfTheFileGivesUnableToWrite)
{
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "vidlume.ini");
    expectWriteFails(folder / "vidlume.ini");
}
