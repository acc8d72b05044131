#include "ScratchFolder.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace vidlume::platform;
using vidlume::test::ScratchFolder;

TEST(CreateDirectories, makesEveryMissingFolderAndNamesTheOneThatCannotBe)
{
    const ScratchFolder scratch;
    const std::string separator(1, nativeSeparator);
    EXPECT_EQ(createDirectories(scratch.path("a/b/c") + separator + separator), 0);
    EXPECT_TRUE(directoryExists(scratch.path("a/b/c")));
    EXPECT_EQ(createDirectories(scratch.path("a/b")), 0) << "an existing folder is no failure";

    std::ofstream(scratch.path("file")) << "not a folder";
    std::string failed;
    EXPECT_NE(createDirectories(scratch.path("file/inside"), &failed), 0);
    EXPECT_EQ(failed, scratch.path("file"));
}

TEST(CreateDirectories, aRootNeedsNoCreation)
{
#ifdef _WIN32
    for (const char* root : {"C:", "C:\\", "C:/", "\\\\server\\share"})
        EXPECT_TRUE(isRootPath(root)) << root;
    EXPECT_FALSE(isRootPath("C:\\Users"));
    EXPECT_FALSE(isRootPath("\\\\server\\share\\folder"));
    EXPECT_EQ(createDirectories("C:\\"), 0);
    EXPECT_EQ(createDirectories("\\\\server\\share\\"), 0) << "a share is made by its server, not here";
#else
    EXPECT_TRUE(isRootPath("/"));
    EXPECT_FALSE(isRootPath("/home"));
    EXPECT_EQ(createDirectories("//"), 0);
#endif
}
