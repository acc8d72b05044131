#include "platform/Process.h"

#include "platform/win32/WinText.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <io.h>
#include <thread>
#include <windows.h>

// The Windows side of a child process: CreateProcessW with exactly the handed
// handles inherited, in a job object that carries the limits, kills the child
// when the parent's last handle to it goes (the parent ends, however), and
// lets it start no program of its own. The channel is a duplex named pipe.

namespace vidlume::platform {

namespace {

HANDLE asHandle(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

/// The exit code a kill gives the child: NTSTATUS "terminated by request".
constexpr DWORD killedCode = 0xC000013A;

/// A fresh pipe name for one channel.
std::wstring channelName()
{
    static std::atomic<unsigned> counter{0};
    return L"\\\\.\\pipe\\vidlume-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"-" + std::to_wstring(::GetTickCount64());
}

/// The child ends of the channel and the job, set up before the child starts.
struct ChildSetup
{
    HANDLE parentEnd = INVALID_HANDLE_VALUE;
    HANDLE childEnd = INVALID_HANDLE_VALUE;
    HANDLE job = nullptr;
    HANDLE nullDevice = INVALID_HANDLE_VALUE;

    ~ChildSetup()
    {
        for (HANDLE handle : {parentEnd, childEnd, nullDevice})
            if (handle != INVALID_HANDLE_VALUE)
                ::CloseHandle(handle);
        if (job)
            ::CloseHandle(job);
    }
};

int makeChannel(ChildSetup& setup)
{
    const std::wstring name = channelName();
    setup.parentEnd = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                         1, 65536, 65536, 0, nullptr);
    if (setup.parentEnd == INVALID_HANDLE_VALUE)
        return win32::lastErrno();
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    setup.childEnd = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0,
                                   nullptr);
    if (setup.childEnd == INVALID_HANDLE_VALUE)
        return win32::lastErrno();
    return 0;
}

int makeJob(ChildSetup& setup, const ProcessLimits& limits)
{
    setup.job = ::CreateJobObjectW(nullptr, nullptr);
    if (!setup.job)
        return win32::lastErrno();
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    auto& basic = info.BasicLimitInformation;
    basic.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
                       JOB_OBJECT_LIMIT_ACTIVE_PROCESS;
    basic.ActiveProcessLimit = 1;
    if (limits.memoryBytes) {
        basic.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        info.ProcessMemoryLimit = SIZE_T(limits.memoryBytes);
    }
    if (limits.cpuSeconds) {
        basic.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_TIME;
        basic.PerProcessUserTimeLimit.QuadPart = LONGLONG(limits.cpuSeconds) * 10'000'000;
    }
    if (!::SetInformationJobObject(setup.job, JobObjectExtendedLimitInformation, &info, sizeof info))
        return win32::lastErrno();
    return 0;
}

ProcessEnd endOf(DWORD code, bool killed)
{
    if (killed && code == killedCode)
        return {ProcessEnd::Kind::Signalled, 9};
    // An exception, or the job's processor time limit, ends it with an NTSTATUS code.
    if (code == 0xC0000044 /* STATUS_QUOTA_EXCEEDED */ || code == ERROR_NOT_ENOUGH_QUOTA)
        return {ProcessEnd::Kind::OverCpuTime, int(code)};
    if (code >= 0xC0000000)
        return {ProcessEnd::Kind::Signalled, int(code)};
    return {ProcessEnd::Kind::Exited, int(code)};
}

} // namespace

std::string signalDescription(int code)
{
    if (code == 9)
        return "it was killed";
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(code));
    return std::string("it crashed (exception ") + text + ")";
}

ChildProcess::~ChildProcess()
{
    if (running()) {
        kill();
        wait(-1);
    }
    if (m_channel != -1)
        ::CloseHandle(asHandle(m_channel));
    if (m_process != -1)
        ::CloseHandle(asHandle(m_process));
}

int ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                        const std::vector<NativeFile>& files, const ProcessLimits& limits)
{
    if (m_process != -1 && running())
        return EBUSY;
    const std::wstring wideProgram = win32::toWide(program);
    const DWORD attributes = ::GetFileAttributesW(wideProgram.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return win32::lastErrno();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EACCES;

    ChildSetup setup;
    if (const int error = makeChannel(setup))
        return error;
    if (const int error = makeJob(setup, limits))
        return error;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    setup.nullDevice = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr);

    // Exactly these handles reach the child: the handed files, its channel's
    // end, the null device and our standard error.
    std::vector<HANDLE> inherited;
    std::vector<NativeFile> handed = files;
    handed.push_back(reinterpret_cast<NativeFile>(setup.childEnd));
    for (const NativeFile file : handed)
        inherited.push_back(asHandle(file));
    for (const NativeFile file : files)
        ::SetHandleInformation(asHandle(file), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD flags = 0;
    const bool errorUsable = error && error != INVALID_HANDLE_VALUE && ::GetHandleInformation(error, &flags);
    if (errorUsable) {
        ::SetHandleInformation(error, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        inherited.push_back(error);
    }
    if (setup.nullDevice != INVALID_HANDLE_VALUE)
        inherited.push_back(setup.nullDevice);

    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    words.push_back(handedFilesArgument(handed));
    std::wstring commandLine = win32::commandLineOf(words);
    // Its own process group: a Ctrl-C in the console reaches the parent
    // alone, which decides. Without a console of ours, none for the child.
    DWORD baseCreation = CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
    if (!::GetConsoleWindow())
        baseCreation |= CREATE_NO_WINDOW;

    // The child starts inside its job where the system takes the job among
    // its start attributes, so that no moment exists in which the parent
    // could end and leave it outside, suspended for ever. A system without
    // that attribute starts it without, and the job takes it below while it
    // is still suspended.
    PROCESS_INFORMATION process{};
    const auto create = [&](bool startInJob) {
        SIZE_T size = 0;
        const DWORD count = startInJob ? 2 : 1;
        ::InitializeProcThreadAttributeList(nullptr, count, 0, &size);
        std::vector<unsigned char> attributeBytes(size);
        auto* attributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBytes.data());
        HANDLE jobs[] = {setup.job};
        const bool listed = ::InitializeProcThreadAttributeList(attributeList, count, 0, &size) &&
                            ::UpdateProcThreadAttribute(attributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                        inherited.data(), inherited.size() * sizeof(HANDLE), nullptr,
                                                        nullptr) &&
                            (!startInJob || ::UpdateProcThreadAttribute(attributeList, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST,
                                                                        jobs, sizeof jobs, nullptr, nullptr));
        if (startInJob && !listed)
            return FALSE;
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = setup.nullDevice;
        startup.StartupInfo.hStdOutput = setup.nullDevice;
        startup.StartupInfo.hStdError = errorUsable ? error : setup.nullDevice;
        startup.lpAttributeList = listed ? attributeList : nullptr;
        const BOOL started =
            ::CreateProcessW(wideProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                             baseCreation | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr, nullptr,
                             &startup.StartupInfo, &process);
        if (listed)
            ::DeleteProcThreadAttributeList(attributeList);
        return started;
    };
    BOOL started = create(true);
    if (!started)
        started = create(false);
    const int startError = started ? 0 : win32::lastErrno();
    for (const NativeFile file : files)
        ::SetHandleInformation(asHandle(file), HANDLE_FLAG_INHERIT, 0);
    if (!started)
        return startError;
    BOOL inJob = FALSE;
    if ((!::IsProcessInJob(process.hProcess, setup.job, &inJob) || !inJob) &&
        !::AssignProcessToJobObject(setup.job, process.hProcess)) {
        const int jobError = win32::lastErrno();
        ::TerminateProcess(process.hProcess, killedCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return jobError;
    }
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);

    if (m_channel != -1)
        ::CloseHandle(asHandle(m_channel));
    if (m_process != -1)
        ::CloseHandle(asHandle(m_process));
    m_process = reinterpret_cast<std::intptr_t>(process.hProcess);
    m_channel = reinterpret_cast<NativeFile>(setup.parentEnd);
    setup.parentEnd = INVALID_HANDLE_VALUE;
    // The job lives as long as this process holds it: when this process
    // ends, however, the system closes it and the child goes with it.
    m_job = reinterpret_cast<std::intptr_t>(setup.job);
    setup.job = nullptr;
    m_killed = false;
    m_end.reset();
    return 0;
}

ChannelRead ChildProcess::receive(std::string& bytes, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(asHandle(m_channel), nullptr, 0, nullptr, &available, nullptr))
            return ChannelRead::Closed;
        if (available > 0) {
            char buffer[4096];
            DWORD got = 0;
            if (!::ReadFile(asHandle(m_channel), buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) ||
                got == 0)
                return ChannelRead::Closed;
            bytes.append(buffer, got);
            return ChannelRead::Data;
        }
        // A child that ended without closing: its end closes with it, but
        // the pipe keeps a server end of ours; its process handle tells.
        if (m_process != -1 && ::WaitForSingleObject(asHandle(m_process), 0) == WAIT_OBJECT_0) {
            if (::PeekNamedPipe(asHandle(m_channel), nullptr, 0, nullptr, &available, nullptr) && available > 0)
                continue;
            return ChannelRead::Closed;
        }
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return ChannelRead::TimedOut;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::optional<ProcessEnd> ChildProcess::wait(int timeoutMs)
{
    if (m_end || m_process == -1)
        return m_end;
    const DWORD waited = ::WaitForSingleObject(asHandle(m_process), timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    if (waited != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(asHandle(m_process), &code);
    m_end = endOf(code, m_killed);
    if (m_job) {
        ::CloseHandle(asHandle(m_job));
        m_job = 0;
    }
    return m_end;
}

std::optional<double> ChildProcess::cpuSeconds() const
{
    if (!running())
        return std::nullopt;
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(asHandle(m_process), &created, &exited, &kernel, &user))
        return std::nullopt;
    // FILETIME counts 100-nanosecond steps.
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

void ChildProcess::kill()
{
    if (!running())
        return;
    m_killed = true;
    if (m_job)
        ::TerminateJobObject(asHandle(m_job), killedCode);
    else
        ::TerminateProcess(asHandle(m_process), killedCode);
}

bool ChildProcess::running() const
{
    return m_process != -1 && !m_end;
}

int writeChannel(NativeFile channel, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD put = 0;
        if (!::WriteFile(asHandle(channel), bytes.data(), DWORD(std::min<std::size_t>(bytes.size(), 65536)), &put,
                         nullptr))
            return win32::lastErrno();
        bytes.remove_prefix(put);
    }
    return 0;
}

long readChannel(NativeFile channel, std::string& bytes)
{
    char buffer[4096];
    DWORD got = 0;
    if (!::ReadFile(asHandle(channel), buffer, sizeof buffer, &got, nullptr))
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    bytes.append(buffer, got);
    return long(got);
}

NativeFile nativeFileOf(int fd)
{
    return ::_get_osfhandle(fd);
}

int fileNumberOf(NativeFile file)
{
    return file > 0 ? ::_open_osfhandle(file, _O_BINARY) : -1;
}

void closeFile(NativeFile file)
{
    if (file > 0)
        ::CloseHandle(asHandle(file));
}

std::string Confinement::description() const
{
    return noNewPrograms ? "no new programs (job object)" : "none";
}

Confinement confineThisProcess()
{
    // The parent's job object allows this process no other: what can be said
    // here is whether the job that holds it says so.
    Confinement confinement;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    if (::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &info, sizeof info, nullptr))
        confinement.noNewPrograms = (info.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_ACTIVE_PROCESS) &&
                                    info.BasicLimitInformation.ActiveProcessLimit == 1;
    return confinement;
}

} // namespace vidlume::platform
