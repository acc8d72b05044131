#include "page/PathNames.h"

#include <gtest/gtest.h>

using vidlume::childPath;
using vidlume::folderNameFor;
using vidlume::platform::PathStyle;

TEST(ChildPath, joinsWithOneSeparatorOfTheSystem)
{
    EXPECT_EQ(childPath("/out", "holiday", PathStyle::Posix), "/out/holiday");
    EXPECT_EQ(childPath("/", "holiday", PathStyle::Posix), "/holiday");
    EXPECT_EQ(childPath("/out/", "holiday", PathStyle::Posix), "/out/holiday");
    EXPECT_EQ(childPath("", "holiday", PathStyle::Posix), "/holiday");
    // A backslash is a character of a Posix name, not a separator.
    EXPECT_EQ(childPath("/out\\", "holiday", PathStyle::Posix), "/out\\/holiday");

    EXPECT_EQ(childPath("C:\\Out", "holiday", PathStyle::Windows), "C:\\Out\\holiday");
    EXPECT_EQ(childPath("C:\\", "holiday", PathStyle::Windows), "C:\\holiday");
    EXPECT_EQ(childPath("C:/Out/", "holiday", PathStyle::Windows), "C:/Out/holiday");
    EXPECT_EQ(childPath("\\\\server\\share", "holiday", PathStyle::Windows), "\\\\server\\share\\holiday");
}

TEST(FolderNameFor, isTheStemHereAndANameWindowsKeepsThere)
{
    for (const auto style : {PathStyle::Posix, PathStyle::Windows}) {
        EXPECT_EQ(folderNameFor("holiday.flv", style), "holiday");
        EXPECT_EQ(folderNameFor("my.trip.flv", style), "my.trip");
        EXPECT_EQ(folderNameFor("console.flv", style), "console");
        EXPECT_EQ(folderNameFor("COM10.flv", style), "COM10");
        EXPECT_EQ(folderNameFor(".flv", style), "");
    }
    EXPECT_EQ(folderNameFor("trail .flv", PathStyle::Posix), "trail ");
    EXPECT_EQ(folderNameFor("dots..flv", PathStyle::Posix), "dots.");
    EXPECT_EQ(folderNameFor("CON.flv", PathStyle::Posix), "CON");

    // Windows drops the blanks and dots at the end of a folder's name.
    EXPECT_EQ(folderNameFor("trail .flv", PathStyle::Windows), "trail");
    EXPECT_EQ(folderNameFor("dots..flv", PathStyle::Windows), "dots");
    EXPECT_EQ(folderNameFor("mixed . ..flv", PathStyle::Windows), "mixed");
    EXPECT_EQ(folderNameFor(" . .flv", PathStyle::Windows), "_");
    EXPECT_EQ(folderNameFor("  lead.flv", PathStyle::Windows), "  lead");
    // A device's name, in any case and with any extension, is kept for the device.
    EXPECT_EQ(folderNameFor("CON.flv", PathStyle::Windows), "CON_");
    EXPECT_EQ(folderNameFor("nul.flv", PathStyle::Windows), "nul_");
    EXPECT_EQ(folderNameFor("Com1.flv", PathStyle::Windows), "Com1_");
    EXPECT_EQ(folderNameFor("lpt9.flv", PathStyle::Windows), "lpt9_");
    EXPECT_EQ(folderNameFor("COM\xC2\xB9.flv", PathStyle::Windows), "COM\xC2\xB9_");
    EXPECT_EQ(folderNameFor("aux.old.flv", PathStyle::Windows), "aux_.old");
    EXPECT_EQ(folderNameFor("prn .x.flv", PathStyle::Windows), "prn_ .x");
    EXPECT_EQ(folderNameFor("CON ..flv", PathStyle::Windows), "CON_");
}
