#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/PrintPageCommand.h"
#include "cli/PublishCommand.h"
#include "cli/SiteCommand.h"
#ifdef VIDLUME_WITH_UPLOAD
#include "cli/UploadCommand.h"
#endif

#include "platform/CommandLine.h"

#include <csignal>
#include <fcntl.h>
#include <string>
#include <vector>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#ifndef VIDLUME_VERSION_TEXT
#error "VIDLUME_VERSION_TEXT must be defined by the build"
#endif

namespace {

/// Readies the standard streams. Here a standard stream that was closed gets
/// the null device opened for reading in its place: writes to it then fail, as
/// they should, and no file that the generation opens can take its number and
/// receive the program's messages. On Windows the streams carry bytes as they
/// are (a console gets characters: platform::writeText).
void prepareStandardStreams()
{
#ifdef _WIN32
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
#else
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", O_RDONLY) != fd)
            break;
    }
#endif
}

} // namespace

// vidlume-cli: the player page and its folder without a window. Exit codes:
// 0 every file in place, 1 a failure of the system, 2 a usage error, 3 files
// left out, 130, 143 or 129 a stop by SIGINT, SIGTERM or SIGHUP.
int main(int argc, char* argv[])
{
    using namespace vidlume::cli;

    prepareStandardStreams();
    // A reader that went away makes a write fail with EPIPE, which is
    // reported, instead of ending the program silently.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif

    const std::vector<std::string> arguments = vidlume::platform::programArguments(argc, argv);
    if (isSiteCommand(arguments))
        return runSiteCommand({arguments.begin() + 1, arguments.end()});
#ifdef VIDLUME_WITH_UPLOAD
    // "upload" first is the command; a video of that name is "./upload" or "-- upload".
    if (!arguments.empty() && arguments.front() == "upload")
        return runUpload(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
#endif
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
