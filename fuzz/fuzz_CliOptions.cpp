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
        // Every name and text reaches the inputs exactly as given: a whole
        // argument, or what follows "=" in one.
        const auto given = [&arguments](const std::string& text) {
            for (const auto& argument : arguments) {
                const auto assign = argument.find('=');
                if (argument == text || (assign != std::string::npos && argument.substr(assign + 1) == text))
                    return true;
            }
            return false;
        };
        const vidlume::PageInputs defaults;
        const auto& in = options.inputs;
        if (!given(in.videoFile))
            std::abort();
        for (const auto& [value, start] : {std::pair{&in.videoSize, &defaults.videoSize},
                                           {&in.videoPath, &defaults.videoPath},
                                           {&in.flvPlayerPath, &defaults.flvPlayerPath},
                                           {&in.thumbnailImage, &defaults.thumbnailImage},
                                           {&in.logoImage, &defaults.logoImage},
                                           {&in.logoWidth, &defaults.logoWidth},
                                           {&in.logoLink, &defaults.logoLink},
                                           {&in.outputDir, &defaults.outputDir}}) {
            if (*value != *start && !given(*value))
                std::abort();
        }
        for (const auto& file : in.captionFiles) {
            if (!given(file))
                std::abort();
        }
    }
    return 0;
}
