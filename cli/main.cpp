#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/PrintPageCommand.h"
#include "cli/PublishCommand.h"

#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef VIDLUME_VERSION_TEXT
#error "VIDLUME_VERSION_TEXT must be defined by the build"
#endif

namespace {

/// A standard stream that was closed gets the null device opened for reading
/// in its place: writes to it then fail, as they should, and no file that the
/// generation opens can take its number and receive the program's messages.
void holdClosedStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", O_RDONLY) != fd)
            break;
    }
}

} // namespace

// vidlume-cli: the player page and its folder without a window. Exit codes:
// 0 every file in place, 1 a failure of the system, 2 a usage error, 3 files
// left out, 130, 143 or 129 a stop by SIGINT, SIGTERM or SIGHUP.
int main(int argc, char* argv[])
{
    using namespace vidlume::cli;

    holdClosedStandardStreams();
    // A reader that went away makes a write fail with EPIPE, which is
    // reported, instead of ending the program silently.
    std::signal(SIGPIPE, SIG_IGN);

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
