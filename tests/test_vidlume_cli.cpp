#include "BusyFlv.h"
#include "ScratchFolder.h"
#include "page/BuildPlayerPage.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#ifdef _WIN32
#include "platform/win32/WinText.h"
#include "ChildProcesses_win.h"
#include "SystemWords_win.h"
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace vidlume;

namespace {

/// The folder separator of the paths the program writes.
#ifdef _WIN32
const std::string separator = "\\";
const std::string cliName = "vidlume-cli.exe";
#else
const std::string separator = "/";
const std::string cliName = "vidlume-cli";
#endif

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

/// Where a vidlume-cli's standard streams go and what it finds around it;
/// by default both streams are caught and the environment is the test's.
struct CliSetup
{
    std::vector<std::string> arguments;
    enum class Output
    {
        Caught,
        Unwritable, ///< a full disk (/dev/full); on Windows a handle opened for reading only
        Closed
    } output = Output::Caught;
    int errorFd = -1; // -1: caught (POSIX only)
    std::vector<std::string> environment;
    std::string program = VIDLUME_CLI_PATH;
};

#ifdef _WIN32
/// A vidlume-cli started with the arguments, its output caught in a temporary
/// folder, in a process group of its own (a Ctrl-Break can be sent to it alone).
class CliProcess
{
public:
    explicit CliProcess(const std::vector<std::string>& arguments)
        : CliProcess(CliSetup{arguments, CliSetup::Output::Caught, -1, {}})
    {
    }
    explicit CliProcess(const CliSetup& setup)
    {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        const auto open = [&](const std::string& name, DWORD access, DWORD disposition) {
            return ::CreateFileW(test::fsPath(m_folder.path(name)).c_str(), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, disposition, 0, nullptr);
        };
        HANDLE output = nullptr;
        switch (setup.output) {
        case CliSetup::Output::Caught:
            output = open("out", GENERIC_WRITE, CREATE_ALWAYS);
            break;
        case CliSetup::Output::Unwritable:
            test::writeFile(m_folder.path("out"), "");
            output = open("out", GENERIC_READ, OPEN_EXISTING);
            break;
        case CliSetup::Output::Closed:
            break;
        }
        const HANDLE error = open("err", GENERIC_WRITE, CREATE_ALWAYS);
        const HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                           OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
        startup.hStdError = error;
        std::vector<std::string> words{setup.program};
        words.insert(words.end(), setup.arguments.begin(), setup.arguments.end());
        std::wstring commandLine = platform::win32::commandLineOf(words);
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(platform::win32::toWide(setup.program).c_str(), commandLine.data(), nullptr, nullptr,
                             TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
            ::CloseHandle(process.hThread);
            m_process = process.hProcess;
            m_pid = process.dwProcessId;
        }
        for (const HANDLE handle : {output, error, input})
            if (handle && handle != INVALID_HANDLE_VALUE)
                ::CloseHandle(handle);
    }
    ~CliProcess()
    {
        if (m_process)
            ::TerminateProcess(m_process, 1);
        finish();
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    DWORD pid() const { return m_pid; }
    HANDLE process() const { return m_process; }

    /// Waits for the program to end.
    RunResult finish()
    {
        if (m_process) {
            DWORD code = 0;
            if (::WaitForSingleObject(m_process, 120000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(m_process, &code))
                m_result.exitCode = int(code);
            ::CloseHandle(m_process);
            m_process = nullptr;
            m_result.out = readAll(test::fsPath(m_folder.path("out")));
            m_result.err = readAll(test::fsPath(m_folder.path("err")));
        }
        return m_result;
    }

private:
    test::ScratchFolder m_folder;
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
    RunResult m_result;
};
#else

/// A vidlume-cli started with the arguments, its output caught in a temporary folder.
class CliProcess
{
public:
    explicit CliProcess(const std::vector<std::string>& arguments)
        : CliProcess(CliSetup{arguments, CliSetup::Output::Caught, -1, {}})
    {
    }
    explicit CliProcess(const CliSetup& setup)
    {
        std::string folderTemplate =
            (std::filesystem::temp_directory_path() / "vidlume-cli-test-XXXXXX").string();
        m_folder = ::mkdtemp(folderTemplate.data());
        const std::string outPath = (m_folder / "out").string();
        const std::string errPath = (m_folder / "err").string();

        std::vector<char*> argv{const_cast<char*>(setup.program.c_str())};
        for (const auto& argument : setup.arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const auto& variable : setup.environment)
            envp.push_back(const_cast<char*>(variable.c_str()));
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        switch (setup.output) {
        case CliSetup::Output::Caught:
            posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
            break;
        case CliSetup::Output::Unwritable:
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
            break;
        case CliSetup::Output::Closed:
            posix_spawn_file_actions_addclose(&actions, 1);
            break;
        }
        if (setup.errorFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, setup.errorFd, 2);
        else
            posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        if (posix_spawn(&m_pid, setup.program.c_str(), &actions, nullptr, argv.data(),
                        setup.environment.empty() ? environ : envp.data()) != 0)
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

    /// Sends signal again and again, the way an impatient user presses
    /// Ctrl-C, until the program ends; then as finish().
    RunResult signalUntilEnd(int signal)
    {
        int status = 0;
        while (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == 0) {
            ::kill(m_pid, signal);
            ::usleep(200);
        }
        if (m_pid > 0 && WIFEXITED(status))
            m_result.exitCode = WEXITSTATUS(status);
        m_pid = 0;
        m_result.out = readAll(m_folder / "out");
        m_result.err = readAll(m_folder / "err");
        return m_result;
    }

private:
    std::filesystem::path m_folder;
    pid_t m_pid = 0;
    RunResult m_result;
};
#endif

RunResult runCli(const std::vector<std::string>& arguments)
{
    return CliProcess(arguments).finish();
}

/// The inputs of the window as it starts, with a video chosen.
PageInputs withVideo(const std::string& video)
{
    PageInputs in;
    in.videoFile = video;
    in.html5 = true;
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

TEST(VidlumeCli, html5PlayerIsOnUnlessNoHtml5IsGiven)
{
    const RunResult plain = runCli({"--print-page", "v.flv"});
    EXPECT_NE(plain.out.find("<script src=\"vidlume-html5.js\"></script></body></html>"), std::string::npos)
        << plain.out;
    EXPECT_EQ(runCli({"--print-page", "--html5", "v.flv"}).out, plain.out) << "--html5 is still accepted";

    PageInputs flashOnly = withVideo("v.flv");
    flashOnly.html5 = false;
    const RunResult run = runCli({"--no-html5", "--print-page", "v.flv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, BuildPlayerPage(flashOnly));
    EXPECT_EQ(run.out.find("<script"), std::string::npos);
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
    // Brackets and commas are part of a name, never a list of names.
    for (const char* name : {"[a,b]", "[take 2]"}) {
        run = runCli({"--print-page", name});
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
        EXPECT_EQ(run.out, BuildPlayerPage(withVideo(name))) << name;
    }

#ifndef _WIN32 // a Windows command line holds UTF-16, never stray bytes
    run = runCli({"--print-page", "/videos/caf\xE9.flv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("source=caf%E9.flv&"), std::string::npos);
#endif
    // Letters of any script reach the page unchanged (on Windows through the
    // wide-character command line).
    const std::string tokyo = "vid\xC3\xA9os" + separator + "\xE6\x9D\xB1\xE4\xBA\xAC \xC3\xA9t\xC3\xA9.flv";
    run = runCli({"--print-page", tokyo});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, BuildPlayerPage(withVideo(tokyo)));
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
        {"--html5", "--no-html5", "v.flv"},
        {"--no-html5", "--captions", "talk.srt", "v.flv"},
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

TEST(VidlumeCli, sizeWithoutXIsAUsageErrorThatNamesTheOption)
{
    const RunResult run = runCli({"--print-page", "--size", "640", "v.flv"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(
        run.err.rfind("vidlume-cli: --size: List index out of bounds (1): '640' needs a lower-case \"x\"", 0),
        0u)
        << run.err;
}

TEST(VidlumeCli, imageOptionsCheckTheirBoxAndOpacityTakesLeadingZeros)
{
    PageInputs in = withVideo("v.flv");
    in.thumbnail = in.logo = true;
    in.thumbnailImage = "/i/poster.jpg";
    in.logoImage = "/i/logo.png";
    in.logoAlpha = 100;
    RunResult run = runCli({"--print-page", "--thumbnail-image", "/i/poster.jpg", "--logo-image",
                            "/i/logo.png", "--logo-alpha", "0100", "v.flv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, BuildPlayerPage(in));

    in = withVideo("v.flv");
    in.logoAlpha = 7;
    run = runCli({"--print-page", "--logo-alpha", "007", "v.flv"});
    EXPECT_EQ(run.out, BuildPlayerPage(in));
    EXPECT_EQ(runCli({"--print-page", "--logo-alpha", "00101", "v.flv"}).exitCode, 2);
}

TEST(VidlumeCli, helpAndVersionNeedNoVideo)
{
    RunResult run = runCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: vidlume-cli [OPTIONS] VIDEO\n", 0), 0u);
    EXPECT_NE(run.out.find("--logo-position P"), std::string::npos);
    // What a caller needs to script it: the streams, the exit codes, the
    // options that imply or ignore others.
    for (const char* words :
         {"standard output", "standard error", "\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  130 ",
          "--out and --open are then ignored", "poster image path; checks \"Include Thumbnail:\" too"})
        EXPECT_NE(run.out.find(words), std::string::npos) << words;
#ifdef _WIN32
    // In the words of the system it runs on: its folders, its keys, and "/?"
    // as its own commands take it.
    for (const char* words : {"%USERPROFILE%\\vidlume", "Ctrl+C or Ctrl+Break", "129 by closing the console window"})
        EXPECT_NE(run.out.find(words), std::string::npos) << words;
    for (const char* words : {"$HOME", "SIGTERM", "SIGHUP"})
        EXPECT_EQ(run.out.find(words), std::string::npos) << words;
    const RunResult slash = runCli({"/?"});
    EXPECT_EQ(slash.exitCode, 0) << slash.err;
    EXPECT_EQ(slash.out, run.out);
    const RunResult site = runCli({"site", "/?"});
    EXPECT_EQ(site.exitCode, 0) << site.err;
    EXPECT_EQ(site.out.rfind("Usage: vidlume-cli site ", 0), 0u) << site.out;
#else
    EXPECT_NE(run.out.find("143 by SIGTERM"), std::string::npos);
#endif

    run = runCli({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "vidlume-cli " VIDLUME_VERSION_TEXT "\n");
}

namespace {

/// A scratch folder holding a video, for the publishing runs.
struct PublishScratch
{
    PublishScratch()
    {
        root = folder.path();
        video = (root / "holiday.flv").string();
        std::ofstream(video, std::ios::binary) << std::string(100000, 'v');
        out = (root / "out").string();
    }

    test::ScratchFolder folder;
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
    const std::string page = runCli({"--no-html5", "--print-page", scratch.video}).out;
    const std::string player = readAll(playerBesideTheProgram);
    ASSERT_FALSE(player.empty()) << "the build places flvplayer1.swf beside the program";
    for (const char* name : {"holiday", "holiday_(new)", "holiday_(new_1)"}) {
        const RunResult run = runCli({"--no-html5", "--out", scratch.out, scratch.video});
        const std::string folder = scratch.out + separator + name;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, folder + "\n");
        EXPECT_EQ(run.err, "") << "nothing is left out";
        EXPECT_EQ(readAll(folder + "/index.htm"), page);
        EXPECT_EQ(readAll(folder + "/holiday.flv"), std::string(100000, 'v'));
        EXPECT_EQ(readAll(folder + "/flvplayer1.swf"), player);
        EXPECT_FALSE(std::filesystem::exists(folder + "/vidlume-html5.js"));
        EXPECT_FALSE(std::filesystem::exists(folder + "/holiday.mp4"));
    }
}

TEST(VidlumeCliPublish, aVideoNamedInAnyScriptIsPublishedAndItsFolderPrintedInUtf8)
{
    PublishScratch scratch;
    const std::string name = "\xE6\x9D\xB1\xE4\xBA\xAC \xC3\xA9t\xC3\xA9";
    const std::string video = test::utf8Of(scratch.root) + separator + name + ".flv";
    test::writeFile(video, "FLV bytes");
    const RunResult run = runCli({"--no-html5", "--out", scratch.out, video});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, scratch.out + separator + name + "\n");
    EXPECT_EQ(test::readFile(scratch.out + separator + name + separator + name + ".flv"), "FLV bytes");
    EXPECT_EQ(test::readFile(scratch.out + separator + name + separator + "index.htm"),
              runCli({"--no-html5", "--print-page", video}).out);
}

#ifdef _WIN32
TEST(VidlumeCliPublish, aNameWhoseEndWindowsDropsGetsTheFolderThatIsMadeAndPrinted)
{
    // Windows drops the blanks and dots at the end of a folder's name.
    PublishScratch scratch;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"trail .flv", "trail"}, {"dots..flv", "dots"}, {"dots..flv", "dots_(new)"}, {"trail..flv", "trail_(new)"}};
    std::set<std::string> expected;
    for (const auto& [video, folder] : cases) {
        const std::string path = scratch.root.string() + separator + video;
        test::writeFile(path, "FLV of " + video);
        const RunResult run = runCli({"--no-html5", "--out", scratch.out, path});
        EXPECT_EQ(run.exitCode, 0) << video << ": " << run.err;
        EXPECT_EQ(run.out, scratch.out + separator + folder + "\n") << video;
        EXPECT_EQ(readAll(scratch.out + separator + folder + separator + video), "FLV of " + video);
        EXPECT_TRUE(std::filesystem::exists(scratch.out + separator + folder + separator + "index.htm")) << video;
        expected.insert(folder);
    }
    std::set<std::string> made;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.out))
        made.insert(entry.path().filename().string());
    EXPECT_EQ(made, expected) << "no other folder is left behind";
}
#endif

TEST(VidlumeCliPublish, aPlayerFileMissingBesideTheProgramIsReported)
{
    // A copy of the program in a folder of its own, as a broken install would leave it.
    PublishScratch scratch;
    CliSetup setup;
    setup.arguments = {"--no-html5", "--out", scratch.out, scratch.video};
    setup.program = (scratch.root / "bin" / cliName).string();
    std::filesystem::create_directories(scratch.root / "bin");
    std::filesystem::copy_file(VIDLUME_CLI_PATH, setup.program);

    const RunResult run = CliProcess(setup).finish();
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, scratch.out + separator + "holiday\n");
    EXPECT_EQ(run.err, "\"flvplayer1.swf\" was not copied: the file \"" + (scratch.root / "bin").string() +
                           separator + "flvplayer1.swf\" does not exist\n");
    EXPECT_TRUE(std::filesystem::exists(scratch.out + "/holiday/index.htm"));
}

TEST(VidlumeCliPublish, html5PlayerFilesArePlacedByDefaultAndAnMp4ThatCannotBeMadeExitsWithThree)
{
    // The page then plays in no browser of today: a file is left out.
    PublishScratch scratch;
    const RunResult run = runCli({"--out", scratch.out, scratch.video});
    EXPECT_EQ(run.exitCode, 3);
    const std::string line =
        "\"holiday.mp4\" was not made: the HTML5 player cannot play holiday.flv: it is not an FLV file\n";
    ASSERT_GE(run.err.size(), line.size());
    EXPECT_EQ(run.err.substr(run.err.size() - line.size()), line);
    EXPECT_EQ(run.out, scratch.out + separator + "holiday\n");
    EXPECT_TRUE(std::filesystem::exists(scratch.out + "/holiday/vidlume-html5.js"));
    EXPECT_TRUE(std::filesystem::exists(scratch.out + "/holiday/index.htm"));

    // An FLV whose header is sound and whose data is not.
    std::string damaged("FLV\x01\x05\0\0\0\x09\0\0\0\0", 13);
    for (int i = 0; i < 3000; ++i)
        damaged += char(i * 131 % 251);
    std::ofstream(scratch.video, std::ios::binary | std::ios::trunc) << damaged;
    const RunResult again = runCli({"--out", scratch.out, scratch.video});
    EXPECT_EQ(again.exitCode, 3) << again.err;
    EXPECT_NE(again.err.find("\"holiday.mp4\" was not made: the HTML5 player cannot play holiday.flv: its FLV data "
                             "cannot be read"),
              std::string::npos)
        << again.err;
}

TEST(VidlumeCliPublish, captionsOptionImpliesTheHtml5PlayerAndNamesItsFile)
{
    PublishScratch scratch;
    const std::string subtitles = (scratch.root / "talk.fr.srt").string();
    std::ofstream(subtitles) << "1\n00:00:01,000 --> 00:00:02,000\nBonjour\n\n2\nbroken\n";
    const RunResult run = runCli({"--captions", subtitles, "--out", scratch.out, scratch.video});
    EXPECT_EQ(readAll(scratch.out + "/holiday/holiday.fr.vtt"),
              "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nBonjour\n");
    EXPECT_TRUE(std::filesystem::exists(scratch.out + "/holiday/vidlume-html5.js"));
    EXPECT_NE(run.err.find("\"talk.fr.srt\": The caption cue at line 5 was left out: it has no timing line."),
              std::string::npos)
        << run.err;

    EXPECT_EQ(runCli({"--captions", "", scratch.video}).exitCode, 2);
}

TEST(VidlumeCliPublish, aLogoAtOpacityZeroIsANoticeOnStandardErrorWithExitZero)
{
    PublishScratch scratch;
    const std::string logo = (scratch.root / "logo.png").string();
    std::ofstream(logo) << "logo";
    RunResult run = runCli({"--no-html5", "--logo-image", logo, "--out", scratch.out, scratch.video});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "The logo's opacity is 0, so visitors will not see it.\n");
    EXPECT_EQ(readAll(scratch.out + "/holiday/logo.png"), "logo");

    run = runCli({"--no-html5", "--logo-image", logo, "--logo-alpha", "40", "--out", scratch.out, scratch.video});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

TEST(VidlumeCliPublish, failuresExitWithOneAndTheirText)
{
    PublishScratch scratch;
    RunResult run = runCli({"--out", scratch.out, ""});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "You must choose a video file.\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.out));

    // The step that failed speaks: here the output folder's own creation.
    std::ofstream(scratch.out) << "a plain file";
    run = runCli({"--out", scratch.out + "/sub", scratch.video});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
#ifdef _WIN32
    // In the system's own words, as its other programs say it.
    const std::string exists = test::systemWords(ERROR_ALREADY_EXISTS);
#else
    const std::string exists = "File exists";
#endif
    EXPECT_EQ(run.err, "Cannot create folder \"" + scratch.out + "\". " + exists + ".\n");
}

TEST(VidlumeCliPublish, folderDeviceOrSocketIsRefusedBeforeAnythingIsMade)
{
    PublishScratch scratch;
#ifdef _WIN32
    const std::string zero = "NUL", null = "NUL";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{zero}, "The video \"NUL\" is not a file."},
#else
    const std::string zero = "/dev/zero", null = "/dev/null";
    const std::string socketPath = (scratch.root / "s.flv").string();
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{zero}, "The video \"/dev/zero\" is not a file."},
        {{socketPath}, "The video \"" + socketPath + "\" is not a file."},
#endif
        {{"--logo-image", scratch.root.string(), scratch.video},
         "The logo image \"" + scratch.root.string() + "\" is not a file."},
        {{"--thumbnail-image", null, scratch.video}, "The poster image \"" + null + "\" is not a file."},
    };
    for (const auto& [arguments, message] : cases) {
        std::vector<std::string> commandLine{"--out", scratch.out};
        commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
        const RunResult run = runCli(commandLine);
        EXPECT_EQ(run.exitCode, 1) << message;
        EXPECT_EQ(run.err, message + "\n");
        EXPECT_FALSE(std::filesystem::exists(scratch.out)) << message;
    }
#ifndef _WIN32
    ::close(socketFd);
#endif
}

TEST(VidlumeCliPublish, filesLeftOutExitWithThreeAndNameTheirRole)
{
    // A poster that is not there, and a logo of its name that serves both.
    PublishScratch scratch;
    std::filesystem::create_directory(scratch.root / "img2");
    std::ofstream(scratch.root / "img2/poster.jpg") << "logo";
    const RunResult run =
        runCli({"--out", scratch.out, "--thumbnail-image", "/nope/poster.jpg", "--logo-image",
                (scratch.root / "img2/poster.jpg").string(), scratch.video});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, scratch.out + separator + "holiday\n");
    EXPECT_NE(
        run.err.find("the poster image \"/nope/poster.jpg\" does not exist; the logo image of that name "
                     "serves both\n"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(readAll(scratch.out + "/holiday/poster.jpg"), "logo");
}

#ifdef _WIN32
TEST(VidlumeCliPublish, pathThatCannotBeWrittenIsReportedAndTheFolderStillOpened)
{
    // A copy of the program with a stand-in file browser beside it, found
    // before the system's, that notes the folder it was asked to show.
    PublishScratch scratch;
    const auto bin = scratch.root / "bin";
    std::filesystem::create_directory(bin);
    std::filesystem::copy_file(VIDLUME_CLI_PATH, bin / cliName);
    std::filesystem::copy_file(VIDLUME_FAKE_EXPLORER_PATH, bin / "explorer.exe");
    CliSetup setup;
    setup.program = (bin / cliName).string();
    setup.arguments = {"--no-html5", "--open", "--out", scratch.out, scratch.video};

    std::vector<std::string> folders;
    for (const auto output : {CliSetup::Output::Unwritable, CliSetup::Output::Closed}) {
        setup.output = output;
        const RunResult run = CliProcess(setup).finish();
        const std::string folder = scratch.out + separator + (folders.empty() ? "holiday" : "holiday_(new)");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Cannot write the new folder's path to standard output: "), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(". The folder is complete: " + folder + "\n"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::exists(folder + "/index.htm"));
        folders.push_back(folder);
    }
    const auto bothOpened = [&] {
        const std::string log = readAll(bin / "explorer.log");
        return log.find("explorer " + folders[0] + "\n") != std::string::npos &&
               log.find("explorer " + folders[1] + "\n") != std::string::npos;
    };
    for (int i = 0; i < 500 && !bothOpened(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(bothOpened()) << readAll(bin / "explorer.log");
}
#else
TEST(VidlumeCliPublish, pathThatCannotBeWrittenIsReportedAndTheFolderStillOpened)
{
    // A stand-in file browser that notes the folder it was asked to show.
    PublishScratch scratch;
    const auto bin = scratch.root / "bin";
    std::filesystem::create_directory(bin);
    const std::string opened = (scratch.root / "opened").string();
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened + "'\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    std::vector<std::string> environment{"PATH=" + bin.string() + ":/usr/bin:/bin"};

    std::string expectedOpened;
    for (const auto output : {CliSetup::Output::Unwritable, CliSetup::Output::Closed}) {
        const RunResult run =
            CliProcess(CliSetup{{"--open", "--out", scratch.out, scratch.video}, output, -1, environment})
                .finish();
        const std::string folder = scratch.out + (expectedOpened.empty() ? "/holiday" : "/holiday_(new)");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Cannot write the new folder's path to standard output: "), std::string::npos);
        EXPECT_NE(run.err.find(". The folder is complete: " + folder + "\n"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::exists(folder + "/index.htm"));
        expectedOpened += folder + "\n";
    }
    for (int i = 0; i < 500 && readAll(opened) != expectedOpened; ++i)
        ::usleep(10000);
    EXPECT_EQ(readAll(opened), expectedOpened);
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
    // The new folder is filled under a hidden name until it is whole.
    ASSERT_TRUE(std::filesystem::exists(scratch.out + "/.live.vidlume-making-1"));
    ASSERT_FALSE(std::filesystem::exists(scratch.out + "/live"));

    ::kill(cli.pid(), SIGINT);
    const RunResult run = cli.finish();
    ::close(writer);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(std::filesystem::is_empty(scratch.out));
}

namespace {

/// Opens the pipe that a vidlume-cli reads as its video, once the program has
/// opened it: the copy then waits on it for as long as the test likes.
int openPipeWriter(const std::string& pipe)
{
    int writer = -1;
    for (int i = 0; i < 1000 && writer < 0; ++i) {
        writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer < 0)
            ::usleep(10000);
    }
    return writer;
}

} // namespace

TEST(VidlumeCliPublish, signalsDuringTheCleanUpStillLeaveNothingBehind)
{
    for (const auto& [signal, exitCode] :
         {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        PublishScratch scratch;
        const std::string pipe = (scratch.root / "live.flv").string();
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        CliProcess cli({"--out", scratch.out, pipe});
        const int writer = openPipeWriter(pipe);
        ASSERT_GE(writer, 0) << "vidlume-cli never opened the video";
        ASSERT_EQ(::write(writer, "FLV", 3), 3);
        for (int i = 0; i < 1000 && !std::filesystem::exists(scratch.out + "/.live.vidlume-making-1"); ++i)
            ::usleep(10000);

        const RunResult run = cli.signalUntilEnd(signal);
        ::close(writer);
        EXPECT_EQ(run.exitCode, exitCode) << "ended by the signal itself, not by the program";
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "Cancelled; nothing was kept.\n");
        EXPECT_TRUE(std::filesystem::is_empty(scratch.out));
    }
}

namespace {

/// A pseudo-terminal of a given width, as the bar's stream.
class PseudoTerminal
{
public:
    explicit PseudoTerminal(unsigned short columns)
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        resize(columns);
    }
    ~PseudoTerminal()
    {
        ::close(m_slave);
        ::close(m_master);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return m_slave >= 0; }
    int slave() const { return m_slave; }
    void resize(unsigned short columns)
    {
        struct winsize size = {};
        size.ws_row = 30;
        size.ws_col = columns;
        ::ioctl(m_master, TIOCSWINSZ, &size);
    }

    /// What the program wrote, read until there is a pause of timeoutMs.
    std::string drain(int timeoutMs = 200)
    {
        std::string text;
        pollfd ready{m_master, POLLIN, 0};
        char buffer[4096];
        while (::poll(&ready, 1, timeoutMs) == 1) {
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            text.append(buffer, std::size_t(got));
        }
        return text;
    }

private:
    int m_master = -1;
    int m_slave = -1;
};

/// The widest line of the progress bar: the longest stretch between two line
/// starts ("\r" or "\n") that shows an amount. Messages may wrap; the bar may not.
std::size_t widestBarLine(const std::string& text)
{
    std::size_t widest = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
            if (text.substr(start, i - start).find(" MiB") != std::string::npos)
                widest = std::max(widest, i - start);
            start = i + 1;
        }
    }
    return widest;
}

} // namespace

TEST(VidlumeCliPublish, progressBarFitsTheTerminalAndFollowsItsWidth)
{
    PseudoTerminal terminal(60);
    ASSERT_TRUE(terminal.ok());
    PublishScratch scratch;
    const std::string pipe = (scratch.root / "a-video-with-a-rather-long-name.flv").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    CliSetup setup{{"--out", scratch.out, pipe}, CliSetup::Output::Caught, -1, {}};
    setup.errorFd = terminal.slave();
    CliProcess cli(setup);
    const int writer = openPipeWriter(pipe);
    ASSERT_GE(writer, 0);

    const std::string chunk(256 * 1024, 'v');
    const auto feed = [&] {
        for (int i = 0; i < 4; ++i) {
            ::fcntl(writer, F_SETFL, 0);
            ASSERT_EQ(::write(writer, chunk.data(), chunk.size()), ssize_t(chunk.size()));
        }
    };
    feed();
    const std::string wide = terminal.drain();
    EXPECT_NE(wide.find(" MiB"), std::string::npos) << wide;
    EXPECT_LE(widestBarLine(wide), 59u) << wide;

    terminal.resize(40);
    feed();
    ::close(writer);
    const std::string narrow = terminal.drain();
    const int exitCode = cli.finish().exitCode;
    EXPECT_TRUE(exitCode == 0 || exitCode == 3) << exitCode;
    EXPECT_NE(narrow.find("2.0 of 2.0 MiB"), std::string::npos) << narrow;
    EXPECT_LE(widestBarLine(narrow), 39u) << narrow;
}
#endif

namespace {

#ifdef _WIN32
/// The converter program that parent started, or 0 when there is none (yet).
DWORD converterChildOf(DWORD parent)
{
    return test::childProcessOf(parent, L"vidlume-convert.exe");
}

/// True when the process has ended within timeoutMs (or was gone already).
bool endsWithin(DWORD pid, DWORD timeoutMs)
{
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return true;
    const bool ended = ::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}
#else
/// The converter program that parent started, or 0 when there is none (yet).
pid_t converterChildOf(pid_t parent)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readAll(entry.path() / "stat");
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos ||
            stat.substr(open + 1, close - open - 1) != "vidlume-convert")
            continue;
        pid_t ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            return static_cast<pid_t>(std::stoi(name));
    }
    return 0;
}
#endif

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// A second on a build without sanitizers; the sanitized build runs several times slower.
double withinASecond()
{
    return platform::builtWithSanitizer() ? 5.0 : 1.0;
}

} // namespace

TEST(VidlumeCliConverter, aFewKilobytesThatKeepTheEncoderBusyEndWithinASecond)
{
    PublishScratch scratch;
    const std::string video = (scratch.root / "busy.flv").string();
    std::ofstream(video, std::ios::binary) << test::busyFlv();
    ASSERT_EQ(std::filesystem::file_size(video), 1458u);

    const auto start = std::chrono::steady_clock::now();
    const RunResult run = runCli({"--html5", "--out", scratch.out, video});
    EXPECT_LT(secondsSince(start), withinASecond());
    EXPECT_EQ(run.exitCode, std::filesystem::exists(playerBesideTheProgram) ? 0 : 3) << run.err;
    EXPECT_TRUE(std::filesystem::exists(scratch.out + "/busy/index.htm"));
    EXPECT_NE(run.err.find("busy.flv: "), std::string::npos) << "a warning says what became of the MP4";
    // Converted, refused or stopped: never half an MP4, nor a hidden temporary file.
    for (const auto& entry : std::filesystem::directory_iterator(scratch.out + "/busy"))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

#ifdef _WIN32
namespace {

/// A copy of the twenty-second sample whose conversion takes several seconds.
std::string longVideoIn(const PublishScratch& scratch)
{
    const std::string video = (scratch.root / "long.flv").string();
    std::filesystem::copy_file(VIDLUME_SAMPLES_DIR "/long.flv", video);
    return video;
}

/// Starts vidlume-cli on the long video and waits until its converter runs.
DWORD startConversion(CliProcess& cli)
{
    DWORD converter = 0;
    for (int i = 0; i < 4000 && converter == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        converter = converterChildOf(cli.pid());
    }
    return converter;
}

} // namespace

TEST(VidlumeCliConverter, ctrlBreakDuringTheConversionStopsItWithinASecondAndKeepsNothing)
{
    // The program shares this test's console, in a process group of its own.
    if (!::GetConsoleWindow())
        ::AllocConsole();
    PublishScratch scratch;
    const std::string video = longVideoIn(scratch);
    CliProcess cli({"--html5", "--out", scratch.out, video});
    const DWORD converter = startConversion(cli);
    ASSERT_NE(converter, 0u) << "the conversion never started";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    if (!::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, cli.pid()))
        GTEST_SKIP() << "no console to send a Ctrl-Break in (Wine without a display makes none)";
    const RunResult run = cli.finish();
    EXPECT_LT(secondsSince(start), withinASecond());
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.substr(run.err.rfind('\n', run.err.size() - 2) + 1), "Cancelled; nothing was kept.\n")
        << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(scratch.out));
    EXPECT_TRUE(endsWithin(converter, 1000)) << "the converter is gone with the generation";
}

TEST(VidlumeCliConverter, aProgramEndedFromOutsideTakesItsConverterWithIt)
{
    PublishScratch scratch;
    const std::string video = longVideoIn(scratch);
    CliProcess cli({"--html5", "--out", scratch.out, video});
    const DWORD converter = startConversion(cli);
    ASSERT_NE(converter, 0u) << "the conversion never started";
    // It is started suspended and runs once it is in its job: give a busy
    // machine time for that step.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ::TerminateProcess(cli.process(), 1);
    cli.finish();
    EXPECT_TRUE(endsWithin(converter, 5000)) << "the converter outlived the program that started it";
    if (const HANDLE left = ::OpenProcess(PROCESS_TERMINATE, FALSE, converter)) {
        ::TerminateProcess(left, 1);
        ::CloseHandle(left);
    }
}
#else
TEST(VidlumeCliConverter, interruptDuringTheConversionStopsItWithinASecondAndKeepsNothing)
{
    PublishScratch scratch;
    const std::string video = (scratch.root / "long.flv").string();
    // Sorenson video is encoded again: a conversion of several seconds.
    const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -t 20 -c:v flv1 -q:v 2 '" +
                             video + "' </dev/null";
    if (std::system(make.c_str()) != 0)
        GTEST_SKIP() << "ffmpeg is not installed";

    for (const auto& [signal, exitCode] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        CliProcess cli({"--html5", "--out", scratch.out, video});
        pid_t converter = 0;
        for (int i = 0; i < 2000 && converter == 0; ++i) {
            ::usleep(5000);
            converter = converterChildOf(cli.pid());
        }
        ASSERT_NE(converter, 0) << "the conversion never started";
        ::usleep(300000);
        const auto start = std::chrono::steady_clock::now();
        ::kill(cli.pid(), signal);
        const RunResult run = cli.finish();
        EXPECT_LT(secondsSince(start), withinASecond());
        EXPECT_EQ(run.exitCode, exitCode);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(std::filesystem::is_empty(scratch.out));
        EXPECT_NE(::kill(converter, 0), 0) << "the converter is gone with the generation";
    }
}
#endif
