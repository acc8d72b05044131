#include "page/SplitString.h"

#include <gtest/gtest.h>

using vidlume::SplitString;
using Pieces = std::vector<std::string>;

TEST(SplitString, keepsEmptyPiecesAndSplitsWithoutOverlap)
{
    EXPECT_EQ(SplitString("640x480", "x"), (Pieces{"640", "480"}));
    EXPECT_EQ(SplitString("640x", "x"), (Pieces{"640", ""}));
    EXPECT_EQ(SplitString("x480", "x"), (Pieces{"", "480"}));
    EXPECT_EQ(SplitString("320x240x9", "x"), (Pieces{"320", "240", "9"}));
    EXPECT_EQ(SplitString("xx", "x"), (Pieces{"", "", ""}));
    EXPECT_EQ(SplitString("", "x"), (Pieces{""}));
    EXPECT_EQ(SplitString("640X480", "x"), (Pieces{"640X480"}));
    EXPECT_EQ(SplitString("aaa", "aa"), (Pieces{"", "a"}));
    EXPECT_EQ(SplitString("a--b--", "--"), (Pieces{"a", "b", ""}));
}

TEST(SplitString, emptyDelimiterGivesTheWholeText)
{
    EXPECT_EQ(SplitString("640x480", ""), (Pieces{"640x480"}));
}
