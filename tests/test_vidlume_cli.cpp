#include "page/BuildPlayerPage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>

using namespace vidlume;

namespace {

struct RunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Runs vidlume-cli with the arguments, its output caught in a temporary folder.
RunResult runCli(const std::vector<std::string>& arguments)
{
    std::string folderTemplate =
        (std::filesystem::temp_directory_path() / "vidlume-cli-test-XXXXXX").string();
    const std::filesystem::path folder = ::mkdtemp(folderTemplate.data());
    const std::string outPath = (folder / "out").string();
    const std::string errPath = (folder / "err").string();

    std::vector<char*> argv{const_cast<char*>(VIDLUME_CLI_PATH)};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    RunResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, VIDLUME_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readAll(outPath);
    result.err = readAll(errPath);
    std::filesystem::remove_all(folder);
    return result;
}

PageInputs withVideo(const std::string& video)
{
    PageInputs in;
    in.videoFile = video;
    return in;
}

} // namespace

TEST(VidlumeCli, printPageWritesThePageOfTheInitialWindow)
{
    const RunResult run = runCli({"--print-page", "/videos/holiday.flv"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, BuildPlayerPage(withVideo("/videos/holiday.flv")));
    EXPECT_EQ(run.err, "");
}

TEST(VidlumeCli, everyOptionSetsItsControl)
{
    PageInputs in;
    in.videoFile = "/clips/holiday.flv";
    in.videoSize = "640x";
    in.autoPlay = true;
    in.videoPath = "videos";
    in.flvPlayerPath = "player/";
    in.thumbnail = true;
    in.thumbnailImage = "/images/poster.jpg";
    in.logo = true;
    in.logoImage = "/images/logo.png";
    in.logoAlpha = 75;
    in.logoPosition = LogoPosition::BottomLeft;
    in.logoWidth = "120";
    in.logoLink = "about.htm?a=1&b=2";

    const RunResult run = runCli({"--size",
                                  "640x",
                                  "--autoplay",
                                  "--video-path",
                                  "videos",
                                  "--player-path",
                                  "player/",
                                  "--thumbnail",
                                  "--thumbnail-image",
                                  "/images/poster.jpg",
                                  "--logo",
                                  "--logo-image",
                                  "/images/logo.png",
                                  "--logo-alpha",
                                  "75",
                                  "--logo-position",
                                  "bottom-left",
                                  "--logo-width",
                                  "120",
                                  "--logo-link=about.htm?a=1&b=2",
                                  "--print-page",
                                  "/clips/holiday.flv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, BuildPlayerPage(in));
}

TEST(VidlumeCli, logoWidthWithoutLogoStillReachesTheObjectHalf)
{
    PageInputs in = withVideo("holiday.flv");
    in.logoWidth = "80";
    const RunResult run = runCli({"--print-page", "--logo-width", "80", "holiday.flv"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, BuildPlayerPage(in));
}

TEST(VidlumeCli, videoNamesPassThroughUnchanged)
{
    // After "--" a name may start with "-"; a name that is not UTF-8 keeps its bytes.
    RunResult run = runCli({"--print-page", "--", "-clip.flv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, BuildPlayerPage(withVideo("-clip.flv")));

    run = runCli({"--print-page", "/videos/caf\xE9.flv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("source=caf%E9.flv&"), std::string::npos);
}

TEST(VidlumeCli, usageErrorsExitWithTwoAndOneMessageLineBeforeTheUsage)
{
    const std::vector<std::vector<std::string>> commandLines{
        {"--print-page", "--logo-alpha", "101", "v.flv"},
        {"--print-page", "--logo-alpha", "abc", "v.flv"},
        {"--print-page", "--logo-alpha", "-1", "v.flv"},
        {"--print-page", "--logo-position", "middle", "v.flv"},
        {"--print-page", "--colour", "v.flv"},
        {"--print-page", "-clip.flv"},
        {"--print-page"},
        {"--print-page", "a.flv", "b.flv"},
        {"--print-page", "--size"},
        {"v.flv"}, // publishing is not there yet
    };
    for (const auto& arguments : commandLines) {
        const RunResult run = runCli(arguments);
        const std::string shown = arguments.back();
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_EQ(run.err.rfind("vidlume-cli: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find("\nUsage: vidlume-cli [OPTIONS] VIDEO\n"), run.err.find('\n')) << run.err;
    }
}

TEST(VidlumeCli, sizeErrorExitsWithOneAndTheErrorText)
{
    const RunResult run = runCli({"--print-page", "--size", "640", "v.flv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "List index out of bounds (1)\n");
}

TEST(VidlumeCli, helpAndVersionNeedNoVideo)
{
    RunResult run = runCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: vidlume-cli [OPTIONS] VIDEO\n", 0), 0u);
    EXPECT_NE(run.out.find("--logo-position P"), std::string::npos);

    run = runCli({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "vidlume-cli 1.1.0.1\n");
}
