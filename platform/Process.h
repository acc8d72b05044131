#pragma once

#include "platform/PrintableText.h"
#include "platform/Sanitizer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidlume::platform {

/// An open file of this process as the system names it: a file descriptor on
/// POSIX systems, a HANDLE's value on Windows.
using NativeFile = std::intptr_t;

/// The system's name of the open file that the C library numbers fd.
NativeFile nativeFileOf(int fd);

/// A C library file number for an open file the system names file (one this
/// process was handed); the number then owns it. -1 when there is none.
int fileNumberOf(NativeFile file);

/// What a child may use. Zero means no limit of that kind.
struct ProcessLimits
{
    std::uint64_t memoryBytes = 0;   ///< address space (POSIX) or committed memory (a Windows job)
    std::uint64_t cpuSeconds = 0;    ///< processor time over all its threads
    std::uint64_t fileBytes = 0;     ///< the largest file it may write
};

/// How a child process ended.
struct ProcessEnd
{
    enum class Kind
    {
        Exited,      ///< it returned from main or called exit; code holds the status
        Signalled,   ///< a signal or an exception ended it; code holds its number
        OverCpuTime, ///< it used up its processor time
        OverFileSize ///< it tried to write past its file size limit
    };
    Kind kind = Kind::Exited;
    int code = 0;

    bool success() const { return kind == Kind::Exited && code == 0; }
    /// A few words for the user, e.g. "it crashed (Segmentation fault)".
    std::string description() const;
};

/// A few words for the user about a child that the signal (POSIX) or the
/// exception (Windows) numbered code ended, e.g. "it crashed (Segmentation fault)".
std::string signalDescription(int code);

/// What one wait for a message from the child gave.
enum class ChannelRead
{
    Data,        ///< bytes were appended
    TimedOut,    ///< nothing came within the time
    Interrupted, ///< a signal arrived: the caller should look at its cancel request
    Closed,      ///< the child closed its end, or ended
};

/// A program started as a child of this process, with a two-way message
/// channel to it. The child has no controlling terminal and a process group of
/// its own (a Ctrl-C at the terminal reaches the parent only, which decides), gets the
/// limits asked for, and is killed when the parent dies. Destroying a running child kills
/// it and waits for it.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// Starts program with arguments (the program's name is added in front),
    /// handing it files: the child finds them, its channel's end last, as the
    /// comma-separated numbers of one more argument "--files=N,N,..". The
    /// child's standard input and output are the null device. Its standard
    /// error is a pipe that receive and wait read: what comes reaches the
    /// error sink line by line, as printable text (ErrorTextRelay). On Windows
    /// its standard error is ours. Returns 0 or the system error (ENOENT for a
    /// missing program).
    int start(const std::string& program, const std::vector<std::string>& arguments,
              const std::vector<NativeFile>& files, const ProcessLimits& limits = {});

    /// Where the lines of the child's standard error go; by default to this
    /// process's standard error. Set before start.
    void onErrorLine(std::function<void(std::string_view line)> sink) { m_errorSink = std::move(sink); }

    /// Writes all of bytes to the child's channel. Returns 0 or the system error.
    int send(std::string_view bytes);

    /// Waits up to timeoutMs for bytes from the child and appends what came.
    ChannelRead receive(std::string& bytes, int timeoutMs);

    /// Waits up to timeoutMs (-1: for ever) for the child to end.
    std::optional<ProcessEnd> wait(int timeoutMs);

    /// Ends the child at once, without asking (SIGKILL; TerminateJobObject).
    void kill();

    bool running() const;

    /// Processor time the running child has used so far, all its threads
    /// together; nothing where the system does not tell.
    std::optional<double> cpuSeconds() const;

private:
    std::intptr_t m_process = -1; ///< the pid (a process handle on Windows)
    NativeFile m_channel = -1;
    std::optional<ProcessEnd> m_end;
    std::intptr_t m_job = 0; ///< Windows: the job object that holds the child
    bool m_killed = false;   ///< Windows: kill() ended it
    NativeFile m_errors = -1; ///< POSIX: our end of the child's standard error
    std::function<void(std::string_view)> m_errorSink;
    std::unique_ptr<ErrorTextRelay> m_errorRelay;

    /// Reads what the child wrote to its standard error and is there now.
    void takeErrorText();
    /// Reads the rest after the child's end and hands on the last line.
    void finishErrorText();
};

/// The argument that names the files a child is handed: "--files=N,N,..".
std::string handedFilesArgument(const std::vector<NativeFile>& files);

/// The files a child was handed: the numbers of its "--files=" argument, or
/// nothing when the argument is not one. Every number is above 0.
std::optional<std::vector<NativeFile>> handedFiles(std::string_view argument);

/// Writes all of bytes to a channel's end (the child's side). Returns 0 or the system error.
int writeChannel(NativeFile channel, std::string_view bytes);

/// Waits for bytes on a channel's end and appends them; 0 at its end, less on an error.
long readChannel(NativeFile channel, std::string& bytes);

/// Closes a file this process holds.
void closeFile(NativeFile file);

/// What confineThisProcess could put in place.
struct Confinement
{
    bool noNewPrograms = false; ///< no new privileges, no other program started
    bool syscallFilter = false; ///< a seccomp filter: no sockets, no file opened by name
    bool pathRules = false;     ///< Landlock: no file reached by path, no TCP
    std::string description() const;
};

/// Shuts this process off from everything but the files it holds: no network,
/// no file opened or made by name, no program started. What the system offers
/// is used; the rest is left out (see the result). Cannot be undone.
/// Where it runs under AddressSanitizer, its leak check and report still work.
Confinement confineThisProcess();

} // namespace vidlume::platform
