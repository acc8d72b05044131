#include "platform/Launcher.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace vidlume::platform {

namespace {

/// Spawn attributes and file actions, released on every way out.
class SpawnSetup
{
public:
    SpawnSetup()
    {
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

class PosixLauncher final : public Launcher
{
public:
    void openFolder(const std::string& path) override { startDetached(fileBrowserCommand(path)); }
    void openUrl(const std::string& url) override { startDetached({"xdg-open", url}); }
};

} // namespace

int startDetached(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return EINVAL;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    // The started program must not hold our output open: a caller that reads
    // the command line tool's output through a pipe would otherwise wait for
    // the file browser to exit. It also leaves our terminal's signals alone.
    for (int fd = 0; fd <= 2; ++fd)
        ::posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaultSignals;
    sigfillset(&defaultSignals);
    ::posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    ::posix_spawnattr_setsigdefault(&setup.attributes, &defaultSignals);
    ::posix_spawnattr_setflags(&setup.attributes,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
    if (error != 0)
        return error;
    // Reap the child whenever it ends, so it never lingers as a zombie, without
    // making the caller wait for it.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

std::vector<std::string> fileBrowserCommand(const std::string& folder)
{
    return {"xdg-open", folder.empty() || folder.front() == '/' ? folder : "./" + folder};
}

Launcher& systemLauncher()
{
    static PosixLauncher launcher;
    return launcher;
}

} // namespace vidlume::platform
