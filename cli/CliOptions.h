#pragma once

#include "page/PageInputs.h"

#include <string>
#include <string_view>
#include <vector>

namespace vidlume::cli {

/// What the command line asks for. Each page option sets the value of one
/// window control; controls not named keep the window's initial values.
struct CliOptions
{
    PageInputs inputs; // inputs.videoFile is VIDEO
    bool printPage = false;
    bool openFolder = false; // --open; inputs.outputDir holds --out, empty when not given
    bool showHelp = false;
    bool showVersion = false;
};

/// The outcome of reading a command line: the options, or what is wrong with it.
struct CliParseResult
{
    CliOptions options;
    std::string usageError; // one line; empty when the command line is sound
};

/// Reads the arguments that follow the program name, byte for byte as the
/// system hands them over. With --help or --version the rest is not checked.
CliParseResult parseCliArguments(const std::vector<std::string>& arguments);

/// True for a page option that takes a value ("size", "logo-image", ...).
bool isValueOption(std::string_view name);

/// The usage text, ending in a line break.
std::string usageText();

/// True for "/?", which asks for the help on Windows as it does of the
/// system's own commands. Elsewhere it is a path like any other.
bool isWindowsHelpWord(std::string_view argument);

/// The lines of the usage texts on the exit statuses of a stop by the user:
/// the signals here, Ctrl+C, Ctrl+Break and the console window on Windows.
/// what is the end of the sentence: what became of the work ("the new folder
/// is removed").
std::string stopStatusLines(const std::string& what);

} // namespace vidlume::cli
