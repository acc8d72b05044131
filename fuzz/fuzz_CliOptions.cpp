// The command line parser on arbitrary arguments: the fuzz data split at zero
// bytes, as the system hands over argv.
#include "cli/CliOptions.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (size > 0)
        arguments.push_back(current);
    if (arguments.size() > 64)
        return 0;

    const auto result = vidlume::cli::parseCliArguments(arguments);
    const auto& options = result.options;
    if (result.usageError.empty() && !options.showHelp && !options.showVersion) {
        // A sound command line names the video among its arguments and keeps
        // the opacity in its range.
        if (options.inputs.logoAlpha < 0 || options.inputs.logoAlpha > 100)
            std::abort();
        bool named = false;
        for (const auto& argument : arguments)
            named = named || argument == options.inputs.videoFile;
        if (!named)
            std::abort();
    }
    return 0;
}
