#include "page/BuildPlayerPage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <csignal>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

/// A vidlume-cli started with the arguments, its output caught in a temporary folder.
class CliProcess
{
public:
    explicit CliProcess(const std::vector<std::string>& arguments)
    {
        std::string folderTemplate =
            (std::filesystem::temp_directory_path() / "vidlume-cli-test-XXXXXX").string();
        m_folder = ::mkdtemp(folderTemplate.data());
        const std::string outPath = (m_folder / "out").string();
        const std::string errPath = (m_folder / "err").string();

        std::vector<char*> argv{const_cast<char*>(VIDLUME_CLI_PATH)};
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, VIDLUME_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliProcess()
    {
        finish();
        std::filesystem::remove_all(m_folder);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return m_pid; }

    /// Waits for the program to end.
    RunResult finish()
    {
        if (m_pid > 0) {
            int status = 0;
            if (::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status))
                m_result.exitCode = WEXITSTATUS(status);
            m_pid = 0;
            m_result.out = readAll(m_folder / "out");
            m_result.err = readAll(m_folder / "err");
        }
        return m_result;
    }

private:
    std::filesystem::path m_folder;
    pid_t m_pid = 0;
    RunResult m_result;
};

RunResult runCli(const std::vector<std::string>& arguments)
{
    return CliProcess(arguments).finish();
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
    in.html5 = true;

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
                                  "--html5",
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
        {"--print-page", ""},
        {"--out", "", "v.flv"},
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

namespace {

/// A scratch folder holding a video, for the publishing runs.
struct PublishScratch
{
    PublishScratch()
    {
        std::string folderTemplate =
            (std::filesystem::temp_directory_path() / "vidlume-cli-publish-XXXXXX").string();
        root = ::mkdtemp(folderTemplate.data());
        video = (root / "holiday.flv").string();
        std::ofstream(video, std::ios::binary) << std::string(100000, 'v');
        out = (root / "out").string();
    }
    ~PublishScratch() { std::filesystem::remove_all(root); }

    std::filesystem::path root;
    std::string video;
    std::string out;
};

const std::string playerBesideTheProgram =
    std::filesystem::path(VIDLUME_CLI_PATH).parent_path().string() + "/flvplayer1.swf";

} // namespace

TEST(VidlumeCliPublish, eachRunMakesTheNextFolderAndPrintsItsPath)
{
    PublishScratch scratch;
    const std::string page = runCli({"--print-page", scratch.video}).out;
    const bool playerThere = std::filesystem::exists(playerBesideTheProgram);
    for (const char* name : {"holiday", "holiday_(new)", "holiday_(new_1)"}) {
        const RunResult run = runCli({"--out", scratch.out, scratch.video});
        const std::string folder = scratch.out + "/" + name;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, folder + "\n");
        EXPECT_EQ(readAll(folder + "/index.htm"), page);
        EXPECT_EQ(readAll(folder + "/holiday.flv"), std::string(100000, 'v'));
        if (!playerThere) {
            EXPECT_EQ(run.err, "\"flvplayer1.swf\" was not copied: the file \"" + playerBesideTheProgram +
                                   "\" does not exist\n");
        }
    }
}

TEST(VidlumeCliPublish, html5PlayerFilesArePlacedAndTheCodecWarningEndsStandardError)
{
    PublishScratch scratch;
    const RunResult run = runCli({"--html5", "--out", scratch.out, scratch.video});
    EXPECT_EQ(run.exitCode, 0);
    const std::string warning =
        "holiday.flv: the HTML5 player cannot play this video: it is not an FLV file\n";
    ASSERT_GE(run.err.size(), warning.size());
    EXPECT_EQ(run.err.substr(run.err.size() - warning.size()), warning);
    EXPECT_TRUE(std::filesystem::exists(scratch.out + "/holiday/vidlume-html5.js"));
}

TEST(VidlumeCliPublish, failuresExitWithOneAndTheirText)
{
    PublishScratch scratch;
    RunResult run = runCli({"--out", scratch.out, ""});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "You must choose a video file.\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.out));

    std::ofstream(scratch.out) << "a plain file";
    run = runCli({"--out", scratch.out, scratch.video});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Cannot create file \"" + scratch.out + "/holiday/index.htm\". Not a directory.\n");
}

TEST(VidlumeCliPublish, interruptRemovesTheNewFolderAndExitsWith130)
{
    // A pipe as the video: the copy waits on it for as long as the test likes.
    PublishScratch scratch;
    const std::string pipe = (scratch.root / "live.flv").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    CliProcess cli({"--out", scratch.out, pipe});

    int writer = -1;
    for (int i = 0; i < 1000 && writer < 0; ++i) {
        writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer < 0)
            ::usleep(10000);
    }
    ASSERT_GE(writer, 0) << "vidlume-cli never opened the video";
    ASSERT_EQ(::write(writer, "FLV", 3), 3);
    // The copy is under way once it has taken the bytes out of the pipe.
    int unread = 3;
    for (int i = 0; i < 1000 && unread > 0; ++i) {
        ::usleep(10000);
        ASSERT_EQ(::ioctl(writer, FIONREAD, &unread), 0);
    }
    ASSERT_EQ(unread, 0);
    ASSERT_TRUE(std::filesystem::exists(scratch.out + "/live"));

    ::kill(cli.pid(), SIGINT);
    const RunResult run = cli.finish();
    ::close(writer);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(std::filesystem::is_empty(scratch.out));
}
