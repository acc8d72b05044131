#include "platform/DriveType.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using vidlume::platform::DriveType;
using vidlume::platform::driveType;

#ifdef _WIN32
// The drive test runs under Wine, whose registry names D: a CD-ROM drive
// (scripts/wine-prefix.sh sets VIDLUME_TEST_CDROM_DRIVE to it).
TEST(DriveType, isTheTypeOfTheVolumeThatHoldsThePath)
{
    const std::string temporary = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(driveType(temporary), DriveType::Fixed);
    EXPECT_EQ(driveType(temporary + "\\not-there\\either"), DriveType::Fixed);
    EXPECT_EQ(driveType(temporary.substr(0, 3)), DriveType::Fixed);
    EXPECT_EQ(driveType(""), DriveType::NoRootDir);

    const char* cdrom = std::getenv("VIDLUME_TEST_CDROM_DRIVE");
    if (!cdrom || !*cdrom)
        GTEST_SKIP() << "no CD-ROM drive named in VIDLUME_TEST_CDROM_DRIVE";
    EXPECT_EQ(driveType(cdrom), DriveType::CdRom);
    EXPECT_EQ(driveType(std::string(cdrom) + "videos\\clip.flv"), DriveType::CdRom);
}
#else
#include <unistd.h>

using vidlume::platform::driveTypeIn;
using vidlume::platform::parseMountTable;

namespace {

// A desktop machine: a disk, a stick, two discs side by side, a share, memory.
const char* const desktopTable =
    "22 27 0:21 / /proc rw,relatime shared:12 - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "30 27 0:27 / /run rw,nosuid shared:5 - tmpfs tmpfs rw,size=812k\n"
    "31 27 8:1 / /boot/efi rw,relatime shared:3 - vfat /dev/sda1 rw\n"
    "40 30 8:17 / /run/media/ann/MY\\040STICK rw,nosuid shared:40 - vfat /dev/sdb1 rw\n"
    "41 27 11:0 / /media/cd ro,nosuid shared:41 - iso9660 /dev/sr0 ro\n"
    "42 27 8:33 / /media/cdrom2 rw shared:42 - ext4 /dev/sdc1 rw\n"
    "43 27 0:50 / /mnt/share rw shared:43 - nfs4 server:/export rw\n"
    "44 27 0:51 / /mnt/ssh rw shared:44 - fuse.sshfs ann@host:/home rw\n"
    "45 27 0:52 / /mnt/ram rw - ramfs ramfs rw\n"
    "46 27 11:1 / /mnt/dvd ro - udf /dev/sr1 ro\n";

bool onlySdbIsRemovable(const std::string& device)
{
    return device == "/dev/sdb1";
}

} // namespace

TEST(MountTable, decodesEscapesAndReadsFieldsAfterTheSeparator)
{
    const auto mounts =
        parseMountTable("40 30 8:17 / /media/My\\040Disc\\134x rw shared:40 master:2 - iso9660 "
                        "/dev/sr0 ro\n"
                        "garbage line\n"
                        "41 27 8:1 / /a\\04 rw - ext4 /dev/a\\011b rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].mountPoint, "/media/My Disc\\x");
    EXPECT_EQ(mounts[0].fsType, "iso9660");
    EXPECT_EQ(mounts[0].source, "/dev/sr0");
    // An incomplete escape stays as written; a tab in a device name is decoded.
    EXPECT_EQ(mounts[1].mountPoint, "/a\\04");
    EXPECT_EQ(mounts[1].source, "/dev/a\tb");
}

TEST(DriveTypeIn, discsAreRecognisedByFileSystemOrDevice)
{
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cd"), DriveType::CdRom);
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cd/videos/2009"), DriveType::CdRom);
    EXPECT_EQ(driveTypeIn(desktopTable, "/mnt/dvd/x"), DriveType::CdRom);
    // A disc burnt with another file system is still on an optical drive.
    EXPECT_EQ(driveTypeIn("1 0 11:0 / /media/disc ro - vfat /dev/sr3 ro\n", "/media/disc"), DriveType::CdRom);
    EXPECT_EQ(driveTypeIn("1 0 11:0 / /media/disc ro - hfsplus /dev/scd0 ro\n", "/media/disc"),
              DriveType::CdRom);
    EXPECT_EQ(driveTypeIn("1 0 11:0 / /srv ro - ext4 /dev/srv ro\n", "/srv"), DriveType::Fixed);
}

TEST(DriveTypeIn, longestMountPointWinsOnlyAtAFolderBoundary)
{
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cdrom2"), DriveType::Fixed);
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cdrom2/out"), DriveType::Fixed);
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cd/"), DriveType::CdRom);
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cd//x/./y"), DriveType::CdRom);
    EXPECT_EQ(driveTypeIn(desktopTable, "/media/cd/../cdrom2"), DriveType::Fixed);
    EXPECT_EQ(driveTypeIn(desktopTable, "/media"), DriveType::Fixed);
    EXPECT_EQ(driveTypeIn(desktopTable, "/"), DriveType::Fixed);
    EXPECT_EQ(driveTypeIn(desktopTable, "/run/media/ann/MY STICK/clips"), DriveType::Fixed);
    EXPECT_EQ(driveTypeIn(desktopTable, "/run/media/ann/MY STICK/clips", onlySdbIsRemovable),
              DriveType::Removable);
    EXPECT_EQ(driveTypeIn(desktopTable, "/run/media/ann"), DriveType::RamDisk);
}

TEST(DriveTypeIn, aLaterMountOnTheSamePointHidesTheEarlierOne)
{
    const char* const table = "27 1 254:0 / / rw - ext4 /dev/sda2 rw\n"
                              "50 27 11:0 / /media/x ro - iso9660 /dev/sr0 ro\n"
                              "51 27 0:60 / /media/x rw - tmpfs tmpfs rw\n";
    EXPECT_EQ(driveTypeIn(table, "/media/x/y"), DriveType::RamDisk);
}

TEST(DriveTypeIn, otherKindsOfStorage)
{
    EXPECT_EQ(driveTypeIn(desktopTable, "/mnt/share/videos"), DriveType::Remote);
    EXPECT_EQ(driveTypeIn(desktopTable, "/mnt/ssh"), DriveType::Remote);
    EXPECT_EQ(driveTypeIn(desktopTable, "/mnt/ram"), DriveType::RamDisk);
    EXPECT_EQ(driveTypeIn(desktopTable, "/proc/1"), DriveType::Unknown);
    EXPECT_EQ(driveTypeIn(desktopTable, ""), DriveType::NoRootDir);
    EXPECT_EQ(driveTypeIn(desktopTable, "media/cd"), DriveType::NoRootDir);
    EXPECT_EQ(driveTypeIn("", "/media/cd"), DriveType::NoRootDir);
}

TEST(DriveType, aLinkIntoADiscCountsAsTheDisc)
{
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / ("vidlume-drivetype-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "disc" / "videos");
    fs::create_directory_symlink(base / "disc" / "videos", base / "link");
    const std::string disc = fs::canonical(base / "disc").string();
    const std::string table = "27 1 254:0 / / rw - ext4 /dev/sda2 rw\n"
                              "60 27 11:0 / " +
                              disc + " ro - iso9660 /dev/sr0 ro\n";

    EXPECT_EQ(driveType((base / "link").string(), table), DriveType::CdRom);
    EXPECT_EQ(driveTypeIn(table, (base / "link").string()), DriveType::Fixed);
    // A path that does not exist is looked up as written.
    EXPECT_EQ(driveType(disc + "/not-there", table), DriveType::CdRom);
    fs::remove_all(base);
}
#endif
