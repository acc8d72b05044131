#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace vidlume::fuzz {

/// One file in memory per fuzzer process, rewritten with each input, for code
/// that reads its input from a path: a plain file that never touches the disk,
/// named through /proc/self/fd and gone with the process.
class FuzzFile
{
public:
    FuzzFile()
    {
        m_file.reset(::memfd_create("vidlume-fuzz", 0));
        if (!m_file.valid())
            std::abort();
        m_path = "/proc/self/fd/" + std::to_string(m_file.fd());
    }

    /// Replaces the file's content; returns its path.
    const std::string& write(const std::uint8_t* data, std::size_t size)
    {
        if (::ftruncate(m_file.fd(), 0) != 0)
            std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_file.fd(), data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<std::size_t>(n);
        }
        return m_path;
    }

private:
    std::string m_path;
    platform::UniqueFd m_file;
};

} // namespace vidlume::fuzz
