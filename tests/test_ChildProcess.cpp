#include "ScratchFolder.h"
#include "platform/Process.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(ChildProcess, theChildGetsItsFilesItsLimitsAndAGroupOfItsOwn)
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
                           " group=$(($(ps -o pgid= $$) == $$)) other=$([[ -e /proc/$$/fd/" +
                               std::to_string(unhanded) + " ]] && echo open || echo closed)\" >&$C",
                           "bash"},
                          {input}, limits),
              0);
    ::close(input);
    ::close(unhanded);
    const std::string said = talkOf(child);
    const std::string memory = builtWithSanitizer() ? "unlimited" : std::to_string(3ull << 20);
    EXPECT_EQ(said, "handed bytes v=" + memory + " t=42 c=0 group=1 other=closed\n");
    const auto end = child.wait(-1);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->success());
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

TEST(ChildProcess, handedFilesArgumentIsReadBackOrRefused)
{
    EXPECT_EQ(handedFiles("--files=3,4,17"), (std::vector<NativeFile>{3, 4, 17}));
    EXPECT_EQ(handedFiles("--files=9"), (std::vector<NativeFile>{9}));
    for (const char* wrong : {"--file=3", "--files=3,,4", "--files=3,", "--files=-1", "--files=3x", "3,4"})
        EXPECT_FALSE(handedFiles(wrong)) << wrong;
}

#ifdef __linux__
TEST(Confinement, aConfinedProcessHasNoNetworkNoFileByNameAndNoProgramButKeepsItsFiles)
{
    int kept[2];
    ASSERT_EQ(::pipe(kept), 0);
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
}
#endif
