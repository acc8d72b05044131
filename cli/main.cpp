#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/PrintPageCommand.h"
#include "cli/PublishCommand.h"

#include <string>
#include <vector>

#ifndef VIDLUME_VERSION_TEXT
#error "VIDLUME_VERSION_TEXT must be defined by the build"
#endif

// vidlume-cli: the player page and its folder without a window. Usage errors
// exit with 2, failures of the system with 1, a stop by Ctrl-C with 130.
int main(int argc, char* argv[])
{
    using namespace vidlume::cli;

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CliParseResult parsed = parseCliArguments(arguments);
    if (!parsed.usageError.empty())
        return reportUsageError(parsed.usageError);

    const CliOptions& options = parsed.options;
    if (options.showHelp)
        return writeBytes(stdout, usageText()) ? exitSuccess : exitFailure;
    if (options.showVersion)
        return writeBytes(stdout, "vidlume-cli " VIDLUME_VERSION_TEXT "\n") ? exitSuccess : exitFailure;
    if (options.printPage) {
        if (options.inputs.videoFile.empty())
            return reportUsageError("VIDEO must not be empty.");
        return runPrintPage(options.inputs);
    }
    return runPublish(options.inputs, options.openFolder);
}
