#include "ScratchFolder.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using vidlume::test::readFile;
using vidlume::test::ScratchFolder;

// The started program writes what it received to a file; the test waits for
// that file (the launcher itself never waits).
TEST(Launcher, startsTheProgramWithEachArgumentWholeAndOurOutputClosedToIt)
{
    ScratchFolder folder;
    const std::string report = folder.path("report");
    const std::string script = "out=$(readlink /proc/$$/fd/1); { printf '[%s]\\n' \"$@\"; echo \"$out\"; } > "
                               "\"$0.part\" && mv \"$0.part\" \"$0\"";
    ASSERT_EQ(
        vidlume::platform::startDetached({"sh", "-c", script, report, "/out/my holiday, 2", "-x;$HOME"}), 0);

    for (int i = 0; i < 1000 && !vidlume::platform::entryExists(report); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readFile(report), "[/out/my holiday, 2]\n[-x;$HOME]\n/dev/null\n");

    EXPECT_NE(vidlume::platform::startDetached({"/nonexistent/program"}), 0);
}

TEST(Launcher, fileBrowserGetsThePathAsAPathNeverAsAnOptionOrAnAddress)
{
    using Command = std::vector<std::string>;
    EXPECT_EQ(vidlume::platform::fileBrowserCommand("/out/Talk: 1, part 2"),
              (Command{"xdg-open", "/out/Talk: 1, part 2"}));
    EXPECT_EQ(vidlume::platform::fileBrowserCommand("Talk: 1/holiday"),
              (Command{"xdg-open", "./Talk: 1/holiday"}));
    EXPECT_EQ(vidlume::platform::fileBrowserCommand("-x/holiday"), (Command{"xdg-open", "./-x/holiday"}));
}
