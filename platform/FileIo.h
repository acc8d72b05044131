#pragma once

#include <cstdint>
#include <string>

namespace vidlume::platform {

// Reading and writing open files by the C library's file numbers, the same on
// every system. Each returns -1 with errno set on failure, as the POSIX calls do.

/// Opens a file for reading, without waiting for the writer of a pipe and
/// without handing it to programs this one starts.
int openForReading(const std::string& path);

/// A second number for the same open file (its own, not inherited by programs
/// this one starts).
int duplicateFile(int fd);

/// Reads up to size bytes at offset, leaving the file position alone:
/// the bytes read, 0 at the end.
long long readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);

/// Writes up to size bytes at offset, leaving the file position alone: the bytes written.
long long writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset);

/// Closes fd unless it is below 0. Returns 0 or the error that closing
/// reported, which on network file systems may be a failed write.
int closeFileNumber(int fd);

} // namespace vidlume::platform
