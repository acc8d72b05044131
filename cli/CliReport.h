#pragma once

#include <cstdio>
#include <string>

namespace vidlume::cli {

/// Exit codes of vidlume-cli.
inline constexpr int exitSuccess = 0; // every file of the generation is in place
inline constexpr int exitFailure = 1; // the system failed, e.g. the folder cannot be made
inline constexpr int exitUsage = 2;   // the command line is wrong
inline constexpr int exitLeftOut = 3; // the folder is complete but files were left out

/// Writes bytes unchanged (to a console: as its characters) and flushes them.
/// False when they did not all arrive.
bool writeBytes(std::FILE* stream, const std::string& bytes);

/// Prints a one-line message and the usage on standard error; returns exitUsage.
int reportUsageError(const std::string& message);

/// Prints an error's text as the general error report words it on standard
/// error; returns exitFailure.
int reportFailure(const std::string& text);

} // namespace vidlume::cli
