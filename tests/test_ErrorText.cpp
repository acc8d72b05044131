#include "app/ErrorText.h"

#include <gtest/gtest.h>

using vidlume::errorReportText;

TEST(ErrorReportText, addsFullStopOnlyAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(errorReportText("Stream write error"), "Stream write error.");
    EXPECT_EQ(errorReportText("Unable to write to /opt/vidlume/vidlume.ini"),
              "Unable to write to /opt/vidlume/vidlume.ini.");
    EXPECT_EQ(errorReportText("C:\\x\\"), "C:\\x\\.");
    EXPECT_EQ(errorReportText("1"), "1.");
    EXPECT_EQ(errorReportText("List index out of bounds (1)"), "List index out of bounds (1)");
    EXPECT_EQ(errorReportText("Done."), "Done.");
    EXPECT_EQ(errorReportText("Stop!"), "Stop!");
    EXPECT_EQ(errorReportText("trailing "), "trailing ");
    EXPECT_EQ(errorReportText("dash-"), "dash-");
    EXPECT_EQ(errorReportText(""), "");
}
