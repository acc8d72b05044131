#include "platform/Process.h"
#include "platform/Sanitizer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace vidlume::platform {

namespace {

/// The child's side of start(), between fork and exec: system calls only, as
/// the parent may run other threads whose locks the child inherited held.
[[noreturn]] void becomeChild(const char* program, char* const* argv, const std::vector<int>& files,
                              int nullDevice, const ProcessLimits& limits, pid_t parent)
{
    // Out of the terminal's process group: a Ctrl-C goes to the parent,
    // which asks the child to stop and ends it when it does not.
    ::setpgid(0, 0);
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) // the parent died before the line above
        ::_exit(127);
#else
    (void)parent;
#endif
    const auto limit = [](int resource, rlim_t soft, rlim_t hard) {
        const struct rlimit value = {soft, hard};
        ::setrlimit(resource, &value);
    };
    const struct rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
#ifndef VIDLUME_ASAN
    // AddressSanitizer reserves terabytes of address space for its shadow
    // memory at start: a sanitized child gets no address space limit.
    if (limits.memoryBytes)
        limit(RLIMIT_AS, limits.memoryBytes, limits.memoryBytes);
#endif
    // SIGXCPU at the soft limit, SIGKILL a second later should it be caught.
    if (limits.cpuSeconds)
        limit(RLIMIT_CPU, limits.cpuSeconds, limits.cpuSeconds + 1);
    if (limits.fileBytes)
        limit(RLIMIT_FSIZE, limits.fileBytes, limits.fileBytes);

    ::dup2(nullDevice, 0);
    ::dup2(nullDevice, 1);
    // Every other file of ours closes at exec, whoever opened it and however.
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0)
#endif
    {
        const long most = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (most > 0 && most < 65536 ? most : 65536); ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    for (const int fd : files)
        ::fcntl(fd, F_SETFD, 0);

    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &standard, nullptr);

    ::execv(program, argv);
    ::_exit(127);
}

ProcessEnd endOf(int status)
{
    if (WIFEXITED(status))
        return {ProcessEnd::Kind::Exited, WEXITSTATUS(status)};
    const int signal = WTERMSIG(status);
    if (signal == SIGXCPU)
        return {ProcessEnd::Kind::OverCpuTime, signal};
    if (signal == SIGXFSZ)
        return {ProcessEnd::Kind::OverFileSize, signal};
    return {ProcessEnd::Kind::Signalled, signal};
}

} // namespace

std::string signalDescription(int code)
{
    if (code == SIGKILL)
        return "it was killed";
    const char* name = ::strsignal(code);
    return std::string("it crashed (") + (name ? name : "signal " + std::to_string(code)) + ")";
}

ChildProcess::~ChildProcess()
{
    if (running()) {
        kill();
        wait(-1);
    }
    if (m_channel >= 0)
        ::close(static_cast<int>(m_channel));
}

int ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                        const std::vector<NativeFile>& files, const ProcessLimits& limits)
{
    if (m_process >= 0)
        return EBUSY;
    if (::access(program.c_str(), X_OK) != 0)
        return errno;
    int channel[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
        return errno;
    const int nullDevice = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullDevice < 0) {
        const int error = errno;
        ::close(channel[0]);
        ::close(channel[1]);
        return error;
    }

    std::vector<NativeFile> named = files;
    named.push_back(channel[1]);
    std::vector<int> handed;
    for (const NativeFile file : named)
        handed.push_back(static_cast<int>(file));
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    words.push_back(handedFilesArgument(named));
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        becomeChild(program.c_str(), argv.data(), handed, nullDevice, limits, parent);
    const int error = pid < 0 ? errno : 0;
    ::close(nullDevice);
    ::close(channel[1]);
    if (pid < 0) {
        ::close(channel[0]);
        return error;
    }
    // Also from this side, so that a kill of the group never misses it.
    ::setpgid(pid, pid);
    m_process = pid;
    m_channel = channel[0];
    m_end.reset();
    return 0;
}

ChannelRead ChildProcess::receive(std::string& bytes, int timeoutMs)
{
    struct pollfd wanted = {static_cast<int>(m_channel), POLLIN, 0};
    const int ready = ::poll(&wanted, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR ? ChannelRead::Interrupted : ChannelRead::Closed;
    if (ready == 0)
        return ChannelRead::TimedOut;
    char buffer[4096];
    const ssize_t got = ::recv(static_cast<int>(m_channel), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN ? ChannelRead::Interrupted : ChannelRead::Closed;
    if (got == 0)
        return ChannelRead::Closed;
    bytes.append(buffer, static_cast<std::size_t>(got));
    return ChannelRead::Data;
}

std::optional<ProcessEnd> ChildProcess::wait(int timeoutMs)
{
    if (m_end || m_process < 0)
        return m_end;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(m_process), &status, timeoutMs < 0 ? 0 : WNOHANG);
        if (done == static_cast<pid_t>(m_process)) {
            m_end = endOf(status);
            return m_end;
        }
        if (done < 0 && errno != EINTR) { // reaped elsewhere: nothing more to learn
            m_end = ProcessEnd{ProcessEnd::Kind::Signalled, SIGKILL};
            return m_end;
        }
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        if (timeoutMs >= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void ChildProcess::kill()
{
    if (running())
        ::kill(static_cast<pid_t>(m_process), SIGKILL);
}

std::optional<double> ChildProcess::cpuSeconds() const
{
#ifdef __linux__
    if (!running())
        return std::nullopt;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", static_cast<long>(m_process));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char text[1024];
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return std::nullopt;
    text[got] = '\0';
    // After the name in parentheses: state, then fields 4 to 13, then the
    // user and system time in clock ticks.
    const char* rest = std::strrchr(text, ')');
    unsigned long long user = 0, system = 0;
    if (!rest || std::sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user,
                             &system) != 2)
        return std::nullopt;
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
#else
    return std::nullopt;
#endif
}

bool ChildProcess::running() const
{
    return m_process >= 0 && !m_end;
}

int writeChannel(NativeFile channel, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = ::send(static_cast<int>(channel), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

long readChannel(NativeFile channel, std::string& bytes)
{
    char buffer[4096];
    ssize_t got;
    do
        got = ::read(static_cast<int>(channel), buffer, sizeof buffer);
    while (got < 0 && errno == EINTR);
    if (got > 0)
        bytes.append(buffer, static_cast<std::size_t>(got));
    return static_cast<long>(got);
}

NativeFile nativeFileOf(int fd)
{
    return fd;
}

int fileNumberOf(NativeFile file)
{
    return file >= 0 && file <= 0x7fffffff ? static_cast<int>(file) : -1;
}

void closeFile(NativeFile file)
{
    if (file >= 0)
        ::close(static_cast<int>(file));
}

} // namespace vidlume::platform
