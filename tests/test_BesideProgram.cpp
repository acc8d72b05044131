#include "platform/BesideProgram.h"

#include "ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vidlume::platform;
using namespace vidlume::test;

#ifdef _WIN32
#include <windows.h>

// The installer puts every file beside the programs; a program counts as
// installed for every user under Program Files.
TEST(BesideProgram, filesLieBesideTheProgramAndProgramFilesMeansInstalled)
{
    ScratchFolder root;
    const std::string programs = root.path("Program Files");
    EXPECT_EQ(besideProgram("flvplayer1.swf", programs + "\\Vidlume"), programs + "\\Vidlume\\flvplayer1.swf");
    EXPECT_EQ(installedFilesFolderOf(programs + "\\Vidlume"), programs + "\\Vidlume");

    ::SetEnvironmentVariableA("ProgramFiles", programs.c_str());
    EXPECT_TRUE(runsInstalled(programs + "\\Vidlume"));
    EXPECT_TRUE(runsInstalled(programs));
    EXPECT_FALSE(runsInstalled(programs + "2\\Vidlume"));
    EXPECT_FALSE(runsInstalled(root.path("Users\\ann\\AppData\\Local\\Programs\\Vidlume")));
    ::SetEnvironmentVariableA("ProgramFiles", nullptr);
}
#else
namespace {

/// A prefix with bin/ for the programs, as a build tree, a copied folder or an
/// installation lays it out.
struct Layout
{
    ScratchFolder root;
    std::string bin = root.path("bin");
    std::string shared = root.path("share/vidlume");

    Layout() { std::filesystem::create_directories(bin); }
    void install() { std::filesystem::create_directories(shared); }
};

} // namespace

TEST(InstalledFilesFolder, isShareVidlumeBesideTheProgramsFolder)
{
    EXPECT_EQ(installedFilesFolderOf("/usr/bin"), "/usr/share/vidlume");
    EXPECT_EQ(installedFilesFolderOf("/usr/local/bin//"), "/usr/local/share/vidlume");
    EXPECT_EQ(installedFilesFolderOf("/bin"), "/share/vidlume");
    EXPECT_EQ(installedFilesFolderOf("/"), "/share/vidlume");
}

TEST(BesideProgram, aBuildTreeOrCopiedFolderFindsItsFilesInItsOwnFolder)
{
    Layout layout;
    writeFile(layout.bin + "/flvplayer1.swf", "player");

    EXPECT_FALSE(runsInstalled(layout.bin));
    EXPECT_EQ(besideProgram("flvplayer1.swf", layout.bin), layout.bin + "/flvplayer1.swf");
    // A missing file is reported where this program keeps its files.
    EXPECT_EQ(besideProgram("vidlume-html5.js", layout.bin), layout.bin + "/vidlume-html5.js");
}

TEST(BesideProgram, anInstalledProgramFindsItsFilesInShareVidlume)
{
    Layout layout;
    layout.install();
    writeFile(layout.shared + "/flvplayer1.swf", "player");

    EXPECT_TRUE(runsInstalled(layout.bin));
    EXPECT_EQ(besideProgram("flvplayer1.swf", layout.bin), layout.shared + "/flvplayer1.swf");
    EXPECT_EQ(besideProgram("vidlume-html5.js", layout.bin), layout.shared + "/vidlume-html5.js");
}

TEST(BesideProgram, theProgramsOwnFolderComesFirst)
{
    Layout layout;
    layout.install();
    writeFile(layout.shared + "/flvplayer1.swf", "installed");
    writeFile(layout.bin + "/flvplayer1.swf", "own");

    EXPECT_EQ(readFile(besideProgram("flvplayer1.swf", layout.bin)), "own");
}
#endif
