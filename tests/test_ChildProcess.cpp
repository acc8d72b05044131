#include "ScratchFolder.h"
#include "platform/Process.h"

#include <cerrno>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#ifdef _WIN32
#include "ChildProcesses_win.h"
#include <windows.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace vidlume;
using namespace vidlume::platform;

namespace {

/// Everything the child said on its channel until it ended.
std::string talkOf(ChildProcess& child)
{
    std::string said;
    while (child.receive(said, 5000) == ChannelRead::Data) {
    }
    return said;
}

} // namespace

#ifndef _WIN32
TEST(ChildProcess, theChildGetsItsFilesItsLimitsAGroupOfItsOwnAndNoTerminal)
{
    test::ScratchFolder scratch;
    test::writeFile(scratch.path("in"), "handed bytes");
    const int input = ::open(scratch.path("in").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(input, 0);
    // Not close-on-exec, as a careless library would leave it.
    const int unhanded = ::fcntl(input, F_DUPFD, 200);
    ASSERT_GE(unhanded, 200);

    ProcessLimits limits;
    limits.memoryBytes = 3ull << 30;
    limits.cpuSeconds = 42;
    ChildProcess child;
    ASSERT_EQ(child.start("/bin/bash",
                          {"-c",
                           "IFS=, read -r S C <<<\"${1#--files=}\"; "
                           "echo \"$(cat <&$S) v=$(ulimit -v) t=$(ulimit -t) c=$(ulimit -c)"
                           " group=$(($(ps -o pgid= $$) == $$)) terminal=$(($(ps -o sid= $$) != $$)) other=$([[ -e /proc/$$/fd/" +
                               std::to_string(unhanded) + " ]] && echo open || echo closed)\" >&$C",
                           "bash"},
                          {input}, limits),
              0);
    ::close(input);
    ::close(unhanded);
    const std::string said = talkOf(child);
    const std::string memory = builtWithSanitizer() ? "unlimited" : std::to_string(3ull << 20);
    EXPECT_EQ(said, "handed bytes v=" + memory + " t=42 c=0 group=1 terminal=0 other=closed\n");
    const auto end = child.wait(-1);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->success());
}

TEST(ChildProcess, whatTheChildWritesToItsStandardErrorArrivesAsTextOnly)
{
    ChildProcess child;
    std::vector<std::string> lines;
    child.onErrorLine([&](std::string_view line) { lines.emplace_back(line); });
    ASSERT_EQ(child.start("/bin/bash",
                          {"-c", R"(printf '\e]0;owned\apushed\e[2J\n' >&2; [[ -t 2 ]] || echo 'not a terminal' >&2;
                                    printf 'no break at the end' >&2; echo done >&${1#--files=})", "bash"},
                          {}),
              0);
    EXPECT_EQ(talkOf(child), "done\n");
    ASSERT_TRUE(child.wait(-1));
    EXPECT_EQ(lines, (std::vector<std::string>{"]0;ownedpushed[2J", "not a terminal", "no break at the end"}));
}

TEST(ChildProcess, howItEndedIsToldInWordsForTheUser)
{
    const std::pair<const char*, const char*> cases[] = {
        {"exit 4", "it ended with status 4"},
        {"kill -SEGV $$", "it crashed (Segmentation fault)"},
        {"ulimit -S -t 1; while :; do :; done", "it used up its processor time"},
    };
    for (const auto& [script, words] : cases) {
        ChildProcess child;
        ASSERT_EQ(child.start("/bin/bash", {"-c", script, "bash"}, {}), 0);
        const auto end = child.wait(-1);
        ASSERT_TRUE(end) << script;
        EXPECT_EQ(end->description(), words) << script;
    }
    ChildProcess stuck;
    ASSERT_EQ(stuck.start("/bin/bash", {"-c", "trap '' TERM INT; sleep 30", "bash"}, {}), 0);
    EXPECT_FALSE(stuck.wait(50)) << "still running";
    stuck.kill();
    const auto end = stuck.wait(2000);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->description(), "it was killed");

    ChildProcess missing;
    EXPECT_EQ(missing.start("/nowhere/vidlume-convert", {}, {}), ENOENT);
}
#else
// The child here is a stand-in program that follows the steps it is given
// (tests/windows/StandInConverter_win.cpp).

TEST(ChildProcess, theChildGetsItsFilesAJobAndNoOtherHandle)
{
    test::ScratchFolder scratch;
    test::writeFile(scratch.path("in"), "handed bytes");
    const HANDLE input = ::CreateFileA(scratch.path("in").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(input, INVALID_HANDLE_VALUE);
    // Inheritable, as a careless library would leave it, and at a number the
    // child's own handles do not reach.
    std::vector<HANDLE> filler;
    for (int i = 0; i < 300; ++i)
        filler.push_back(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE unhanded = ::CreateFileA(scratch.path("in").c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable,
                                          OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(unhanded, INVALID_HANDLE_VALUE);
    for (const HANDLE handle : filler)
        ::CloseHandle(handle);

    ProcessLimits limits;
    limits.memoryBytes = 3ull << 30;
    limits.cpuSeconds = 42;
    ChildProcess child;
    const std::string steps = "source handed bytes\nsay handed\njob\nhandle " +
                              std::to_string(reinterpret_cast<std::intptr_t>(unhanded));
    ASSERT_EQ(child.start(VIDLUME_STAND_IN_PATH, {"--script", steps}, {reinterpret_cast<NativeFile>(input)},
                          limits),
              0);
    ::CloseHandle(input);
    ::CloseHandle(unhanded);
    // The limits themselves Wine neither tells nor enforces: they are left
    // to Windows.
    EXPECT_EQ(talkOf(child), "handed\nin a job\nclosed\n");
    const auto end = child.wait(-1);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->success()) << end->description();
}

TEST(ChildProcess, howItEndedIsToldInWordsForTheUser)
{
    const std::pair<const char*, const char*> cases[] = {
        {"exit 4", "it ended with status 4"},
        {"crash", "it crashed (exception 0xC0000005)"},
        // Ended by someone else (a task manager): no crash, and not our kill.
        {"terminate 1", "it ended with status 1"},
    };
    for (const auto& [script, words] : cases) {
        ChildProcess child;
        ASSERT_EQ(child.start(VIDLUME_STAND_IN_PATH, {"--script", script}, {}), 0);
        const auto end = child.wait(30000);
        ASSERT_TRUE(end) << script;
        EXPECT_EQ(end->description(), words) << script;
    }
    ChildProcess stuck;
    ASSERT_EQ(stuck.start(VIDLUME_STAND_IN_PATH, {"--script", "spin"}, {}), 0);
    EXPECT_FALSE(stuck.wait(50)) << "still running";
    stuck.kill();
    const auto end = stuck.wait(5000);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->description(), "it was killed");

    ChildProcess missing;
    EXPECT_EQ(missing.start("C:\\nowhere\\vidlume-convert.exe", {}, {}), ENOENT);
    ChildProcess folder;
    EXPECT_EQ(folder.start("C:\\windows", {}, {}), EACCES);
}

TEST(ChildProcess, aChildDiesWithItsParentHoweverTheParentEnds)
{
    // A parent that starts a child, says "started" once the child runs in
    // its job, and spins until it is ended from outside.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE said = nullptr, saying = nullptr;
    ASSERT_TRUE(::CreatePipe(&said, &saying, &inheritable, 0));
    ::SetHandleInformation(said, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine = std::string("\"") + VIDLUME_STAND_IN_PATH + "\" --script grandchild --files=" +
                              std::to_string(reinterpret_cast<std::intptr_t>(saying));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION parent{};
    ASSERT_TRUE(::CreateProcessA(VIDLUME_STAND_IN_PATH, commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &parent));
    ::CloseHandle(parent.hThread);
    ::CloseHandle(saying);
    char words[16] = {};
    DWORD got = 0;
    const bool started = ::ReadFile(said, words, sizeof words, &got, nullptr);
    ::CloseHandle(said);
    const DWORD child = test::childProcessOf(parent.dwProcessId);
    const HANDLE childProcess = child ? ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child) : nullptr;
    EXPECT_TRUE(started && std::string(words, got) == "started\n") << std::string(words, got);
    EXPECT_NE(childProcess, nullptr) << "the parent started no child";

    ::TerminateProcess(parent.hProcess, 1);
    ::CloseHandle(parent.hProcess);
    if (childProcess) {
        const bool gone = ::WaitForSingleObject(childProcess, 10000) == WAIT_OBJECT_0;
        EXPECT_TRUE(gone) << "the child outlived its parent";
        if (!gone)
            ::TerminateProcess(childProcess, 1);
        ::CloseHandle(childProcess);
    }
}
#endif

TEST(ChildProcess, handedFilesArgumentIsReadBackOrRefused)
{
    EXPECT_EQ(handedFilesArgument({3, 4, 17}), "--files=3,4,17");
    EXPECT_EQ(handedFiles("--files=3,4,17"), (std::vector<NativeFile>{3, 4, 17}));
    EXPECT_EQ(handedFiles("--files=9"), (std::vector<NativeFile>{9}));
    // 0 is a child's standard input, or no handle: never a handed file.
    for (const char* wrong : {"--file=3", "--files=3,,4", "--files=3,", "--files=-1", "--files=0", "--files=3,0",
                              "--files=3x", "3,4"})
        EXPECT_FALSE(handedFiles(wrong)) << wrong;
}

#ifdef __linux__
TEST(Confinement, aConfinedProcessHasNoNetworkNoFileByNameAndNoProgramButKeepsItsFiles)
{
    int kept[2];
    ASSERT_EQ(::pipe(kept), 0);
    // A terminal the process holds, which it must not drive.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const Confinement confinement = confineThisProcess();
        int failures = 0;
        const auto expect = [&](bool ok, int bit) {
            if (!ok)
                failures |= bit;
        };
        expect(confinement.noNewPrograms && confinement.syscallFilter, 1);
        expect(::socket(AF_INET, SOCK_STREAM, 0) < 0 && errno == EACCES, 2);
        expect(::socket(AF_UNIX, SOCK_STREAM, 0) < 0 && errno == EACCES, 4);
        expect(::mkdir("/tmp/vidlume-confined", 0700) < 0 && errno == EACCES, 8);
        if (!builtWithSanitizer()) { // a sanitized build keeps open and exec for its own checks
            expect(::open("/etc/hostname", O_RDONLY) < 0 && errno == EACCES, 16);
            char* const argv[] = {const_cast<char*>("true"), nullptr};
            expect(::execv("/bin/true", argv) < 0, 32);
        }
        expect(::write(kept[1], "ok", 2) == 2, 64);
        struct winsize size = {};
        const char key = 'x';
        expect(::isatty(terminal) && ::ioctl(terminal, TIOCSWINSZ, &size) < 0 && errno == ENOTTY &&
                   ::ioctl(terminal, TIOCSTI, &key) < 0 && errno == ENOTTY,
               128);
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits): " << WEXITSTATUS(status);
    char got[2] = {};
    EXPECT_EQ(::read(kept[0], got, 2), 2);
    ::close(kept[0]);
    ::close(kept[1]);
    ::close(terminal);
}
#endif
