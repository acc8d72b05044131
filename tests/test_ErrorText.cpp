#include "app/ErrorText.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include "SystemWords_win.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#endif

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

#ifdef _WIN32
TEST(ErrorDescription, speaksTheSystemsOwnWordsForAWindowsError)
{
    using vidlume::errorDescription;
    using vidlume::test::systemWords;
    // The error that a call on this thread met: the system's text for it,
    // also where several Windows errors share one number.
    ASSERT_EQ(vidlume::platform::createDirectory("C:\\no\\such\\folder\\here"), ENOENT);
    EXPECT_EQ(errorDescription(ENOENT), systemWords(ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(vidlume::platform::createDirectory("C:\\what?"), EINVAL);
    EXPECT_EQ(errorDescription(EINVAL), systemWords(ERROR_INVALID_NAME));
    // A number that no call here met: the usual Windows error for it.
    EXPECT_EQ(errorDescription(EEXIST), systemWords(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(errorDescription(EACCES), systemWords(ERROR_ACCESS_DENIED));
    for (const int error : {ENOENT, EINVAL, EEXIST, EACCES}) {
        EXPECT_NE(errorDescription(error), std::strerror(error));
        EXPECT_FALSE(errorDescription(error).empty());
    }
}
#endif
