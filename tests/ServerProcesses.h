#pragma once

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace vidlume::test {

/// Kills the children of a server process: the processes that serve its
/// connections, so that each connection ends as a network cut would end it.
inline void killConnectionProcesses(long serverPid)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        long parent = 0;
        if (stat >> pid >> name >> state >> parent && parent == serverPid)
            ::kill(std::stol(pid), SIGKILL);
    }
}

} // namespace vidlume::test
