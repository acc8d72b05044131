// FTP servers' LIST answers as real servers send them, and what must never
// come out of one.
#include "upload/FtpListing.h"

#include <gtest/gtest.h>

using namespace vidlume::upload;

namespace {

TEST(FtpListing, ReadsUnixAndWindowsStylesWithTheirSizesAndKinds)
{
    const auto entries = parseFtpListing(
        "total 12\r\n"
        "drwxr-xr-x    2 104      0            4096 Dec 10 10:04 .\r\n"
        "drwxr-xr-x    2 104      0            4096 Dec 10 10:04 ..\r\n"
        "-rw-r--r--    1 104      106    5000000000 Dec 10 10:04 video.flv\r\n"
        "-rw-r--r--    1 ftp      ftp           266 Jan  1  2020 .vidlume-upload\r\n"
        "-rw-r--r--    1 owner             12 Jan  1  2020 no group.htm\r\n"
        "drwxr-xr-x    2 104      0            4096 Dec 10 10:04 clips\r\n"
        "lrwxrwxrwx    1 0        0              11 Dec 10 10:04 poster.jpg -> /etc/passwd\r\n"
        "-rw-r--r--    1 104      106             7 Dec 10 10:04  leading blank.htm\n"
        "12-10-26  10:00AM       <DIR>          win folder\r\n"
        "12-10-26  10:01AM              1234 win file.htm\r\n"
        "something a server made up\r\n");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0].name, "video.flv");
    EXPECT_TRUE(entries[0].isFile);
    EXPECT_EQ(entries[0].size, 5000000000u);
    EXPECT_EQ(entries[1].name, ".vidlume-upload");
    EXPECT_EQ(entries[2].name, "no group.htm");
    EXPECT_EQ(entries[2].size, 12u);
    EXPECT_TRUE(entries[3].isFolder);
    EXPECT_EQ(entries[4].name, "poster.jpg"); // a link: neither file nor folder
    EXPECT_FALSE(entries[4].isFile || entries[4].isFolder);
    EXPECT_EQ(entries[5].name, " leading blank.htm");
    EXPECT_TRUE(entries[6].isFolder);
    EXPECT_EQ(entries[6].name, "win folder");
    EXPECT_EQ(entries[7].size, 1234u);
}

TEST(FtpListing, NamesThatWouldBePathsAreSkipped)
{
    const auto entries = parseFtpListing("-rw-r--r-- 1 a b 5 Dec 10 10:04 ../../etc/passwd\n"
                                         "-rw-r--r-- 1 a b 5 Dec 10 10:04 a/b\n"
                                         "-rw-r--r-- 1 a b 99999999999999999999999 Dec 10 10:04 huge\n"
                                         "-rw-r--r-- 1 a b 5 Dec 10 10:04 \n");
    EXPECT_TRUE(entries.empty());
}

} // namespace
