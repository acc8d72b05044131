#include "platform/Process.h"
#include "platform/Sanitizer.h"

#include <algorithm>
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
                              int nullDevice, int errorText, const ProcessLimits& limits, pid_t parent)
{
    // No controlling terminal and a process group of its own (setsid): a Ctrl-C goes to
    // the parent, which asks the child to stop and ends it when it does not,
    // and the child cannot push input into the user's terminal.
    if (::setsid() < 0)
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
    ::dup2(errorText, 2);
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
    if (m_errors >= 0)
        ::close(static_cast<int>(m_errors));
}

void ChildProcess::takeErrorText()
{
    char buffer[4096];
    // A bounded number of reads a call: a child that writes without end
    // cannot keep its parent here.
    for (int reads = 0; m_errors >= 0 && reads < 16; ++reads) {
        const ssize_t got = ::read(static_cast<int>(m_errors), buffer, sizeof buffer);
        if (got > 0) {
            m_errorRelay->add(std::string_view(buffer, static_cast<std::size_t>(got)));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            if (got == 0 || errno != EAGAIN) { // every writer closed it
                ::close(static_cast<int>(m_errors));
                m_errors = -1;
                m_errorRelay->finish();
            }
            return;
        }
    }
}

void ChildProcess::finishErrorText()
{
    takeErrorText();
    // What a process the child left behind may still write is not waited for.
    if (m_errors >= 0) {
        ::close(static_cast<int>(m_errors));
        m_errors = -1;
        m_errorRelay->finish();
    }
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
    int errors[2];
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(channel[0]);
        ::close(channel[1]);
        return error;
    }
    const int nullDevice = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullDevice < 0) {
        const int error = errno;
        for (const int fd : {channel[0], channel[1], errors[0], errors[1]})
            ::close(fd);
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
        becomeChild(program.c_str(), argv.data(), handed, nullDevice, errors[1], limits, parent);
    const int error = pid < 0 ? errno : 0;
    ::close(nullDevice);
    ::close(channel[1]);
    ::close(errors[1]);
    if (pid < 0) {
        ::close(channel[0]);
        ::close(errors[0]);
        return error;
    }
    ::fcntl(errors[0], F_SETFL, ::fcntl(errors[0], F_GETFL) | O_NONBLOCK);
    m_errors = errors[0];
    m_errorRelay = std::make_unique<ErrorTextRelay>(
        [](void* self, std::string_view line) {
            auto& child = *static_cast<ChildProcess*>(self);
            if (child.m_errorSink) {
                child.m_errorSink(line);
                return;
            }
            std::string text(line);
            text += '\n';
            for (std::size_t put = 0; put < text.size();) {
                const ssize_t wrote = ::write(2, text.data() + put, text.size() - put);
                if (wrote <= 0 && errno != EINTR)
                    break;
                put += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
            }
        },
        this);
    m_process = pid;
    m_channel = channel[0];
    m_end.reset();
    return 0;
}

ChannelRead ChildProcess::receive(std::string& bytes, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        struct pollfd wanted[2] = {{static_cast<int>(m_channel), POLLIN, 0}, {static_cast<int>(m_errors), POLLIN, 0}};
        int left = timeoutMs;
        if (timeoutMs > 0)
            left = static_cast<int>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                       .count()));
        const int ready = ::poll(wanted, m_errors >= 0 ? 2 : 1, left);
        if (ready < 0)
            return errno == EINTR ? ChannelRead::Interrupted : ChannelRead::Closed;
        if (ready == 0)
            return ChannelRead::TimedOut;
        if (m_errors >= 0 && wanted[1].revents != 0)
            takeErrorText();
        if (wanted[0].revents != 0)
            break;
    }
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
        // Blocking only once the child's standard error is read to its end: a
        // child that fills that pipe would otherwise wait for us as we wait for it.
        const bool blocking = timeoutMs < 0 && m_errors < 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(m_process), &status, blocking ? 0 : WNOHANG);
        const int error = errno;
        if (done == static_cast<pid_t>(m_process)) {
            m_end = endOf(status);
            finishErrorText();
            return m_end;
        }
        if (done < 0 && error != EINTR) { // reaped elsewhere: nothing more to learn
            m_end = ProcessEnd{ProcessEnd::Kind::Signalled, SIGKILL};
            finishErrorText();
            return m_end;
        }
        takeErrorText();
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        if (!blocking)
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
