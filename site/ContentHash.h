#pragma once

#include <functional>
#include <string>

namespace vidlume::site {

/// The hash of a file's content that tells a changed video from an unchanged
/// one: "fnv1a64:" and 16 lower-case hex digits (64-bit FNV-1a over every
/// byte). Empty when the file cannot be read; error then holds the system error.
/// cancelRequested, polled between pieces, stops it (empty result).
std::string hashFileContent(const std::string& path, int& error,
                            const std::function<bool()>& cancelRequested = {});

/// The same hash of bytes in memory.
std::string hashBytes(const std::string& bytes);

} // namespace vidlume::site
