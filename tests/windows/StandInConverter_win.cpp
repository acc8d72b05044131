// A stand-in for the converter program (and any child) in the Windows tests,
// which behaves well or badly on purpose. It follows steps, one per line:
// from the argument after "--script", or else from behaviour.txt beside it.
// Its handed files are those of its last argument ("--files=S,D,R,C" for a
// conversion: source, destination, its reader, channel; the channel is last).
//
//   source TEXT     the source must hold exactly TEXT, else exit 1
//   say TEXT        TEXT and a line break on the channel
//   write TEXT      TEXT into the destination
//   absent PATH     exit 1 when PATH exists
//   await-cancel    reads a line from the channel; "cancel" is answered "cancelled"
//   flood N         N bytes of "x" on the channel, no line break
//   exit N | crash | spin | sleep MS | terminate N (TerminateProcess itself)
//   busy MS         works the processor for MS milliseconds, then goes on
//   job             says "in a job" or "in no job"
//   handle N        says whether N is an open handle here: "open" or "closed"
//   grandchild      starts itself ("--script spin") as a ChildProcess, says
//                   "started", then spins

#include "platform/Process.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace vidlume::platform;

namespace {

std::string ownPath()
{
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

std::string readAllOf(NativeFile file)
{
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(reinterpret_cast<HANDLE>(file), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

[[noreturn]] void spin()
{
    volatile unsigned long long turns = 0;
    for (;;)
        turns = turns + 1;
}

void put(NativeFile file, const std::string& bytes)
{
    DWORD put = 0;
    ::WriteFile(reinterpret_cast<HANDLE>(file), bytes.data(), DWORD(bytes.size()), &put, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    std::string script;
    if (argc > 2 && std::string(argv[1]) == "--script") {
        script = argv[2];
    } else {
        const std::string self = ownPath();
        std::ifstream in(self.substr(0, self.find_last_of('\\') + 1) + "behaviour.txt", std::ios::binary);
        script.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::vector<NativeFile> files = argc > 1 ? handedFiles(argv[argc - 1]).value_or(std::vector<NativeFile>{})
                                                   : std::vector<NativeFile>{};
    const auto handed = [&](std::size_t i) { return i < files.size() ? files[i] : NativeFile(0); };
    const NativeFile channel = files.empty() ? 0 : files.back();

    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "source") {
            if (readAllOf(handed(0)) != rest)
                return 1;
        } else if (verb == "say") {
            put(channel, rest + "\n");
        } else if (verb == "write") {
            put(handed(1), rest);
        } else if (verb == "absent") {
            if (::GetFileAttributesA(rest.c_str()) != INVALID_FILE_ATTRIBUTES)
                return 1;
        } else if (verb == "await-cancel") {
            std::string said;
            while (said.find('\n') == std::string::npos && readChannel(channel, said) > 0) {
            }
            if (said == "cancel\n")
                put(channel, "cancelled\n");
        } else if (verb == "flood") {
            put(channel, std::string(std::stoul(rest), 'x'));
        } else if (verb == "exit") {
            return std::atoi(rest.c_str());
        } else if (verb == "crash") {
            // Ends at once with the exception's code, as the job's "die on an
            // unhandled exception" makes it on Windows; Wine would start its
            // debugger first, which on a busy machine takes seconds.
            ::SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_EXECUTE_HANDLER; });
            *static_cast<volatile int*>(nullptr) = 1;
        } else if (verb == "spin") {
            spin();
        } else if (verb == "busy") {
            const DWORD until = ::GetTickCount() + DWORD(std::stoul(rest));
            volatile unsigned long long turns = 0;
            while (static_cast<LONG>(::GetTickCount() - until) < 0)
                turns = turns + 1;
        } else if (verb == "sleep") {
            ::Sleep(DWORD(std::stoul(rest)));
        } else if (verb == "terminate") {
            ::TerminateProcess(::GetCurrentProcess(), UINT(std::stoul(rest)));
        } else if (verb == "job") {
            // Wine keeps a job's limits to itself (asked, it tells zeros, and
            // does not enforce them): whether a job holds it is what shows.
            BOOL inJob = FALSE;
            ::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob);
            put(channel, inJob ? "in a job\n" : "in no job\n");
        } else if (verb == "handle") {
            DWORD flags = 0;
            const bool open = ::GetHandleInformation(reinterpret_cast<HANDLE>(std::stoll(rest)), &flags);
            put(channel, std::string(open ? "open" : "closed") + "\n");
        } else if (verb == "grandchild") {
            static ChildProcess child; // never destroyed: it lives until this process is ended
            if (child.start(ownPath(), {"--script", "spin"}, {}) != 0)
                return 2;
            put(channel, "started\n");
            spin();
        }
    }
    return 0;
}
