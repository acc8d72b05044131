#include "page/PathNames.h"

#include <gtest/gtest.h>

using vidlume::childPath;
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
