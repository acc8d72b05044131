#include "cli/PublishCommand.h"

#include "app/OutputFolder.h"
#include "platform/CancelSignals.h"
#include "cli/CliReport.h"
#include "cli/ProgressBar.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "publish/Publish.h"

#include <cerrno>
#include <exception>
#include <new>

namespace vidlume::cli {

int runPublish(PageInputs inputs, bool openFolder)
{
    if (inputs.videoFile.empty())
        return reportFailure("You must choose a video file.");
    if (inputs.outputDir.empty())
        inputs.outputDir = defaultOutputFolder(platform::userProfileFolder());

    platform::installCancelSignals();
    ProgressBar bar(stderr);
    PublishControl control;
    control.onProgress = [&bar](const PublishProgress& progress) { bar.show(progress); };
    control.cancelRequested = platform::cancelSignalReceived;

    PublishResult result;
    try {
        result = publishGeneration(inputs, platform::programFolder(), control);
    } catch (const PublishCancelled&) {
        bar.clear();
        platform::cancelCleanupDone();
        writeBytes(stderr, "Cancelled; nothing was kept.\n");
        return platform::cancelExitCode();
    } catch (const std::bad_alloc&) {
        bar.clear();
        return reportFailure("There is not enough memory to publish the video");
    } catch (const std::exception& error) {
        // Error, and whatever else the system or the library throws:
        // said as the window says it, never an abort.
        bar.clear();
        return reportFailure(error.what());
    }
    bar.clear();

    std::string warnings;
    for (const LeftOutFile& file : result.leftOut)
        warnings += describeLeftOut(file) + "\n";
    for (const std::string& line : result.warnings)
        warnings += line + "\n";
    writeBytes(stderr, warnings);

    int exitCode = result.leftOut.empty() ? exitSuccess : exitLeftOut;
    errno = 0;
    if (!writeBytes(stdout, result.folder + "\n")) {
        // The folder is there all the same: name it where it can still be read.
        const int error = errno;
        writeBytes(stderr, "Cannot write the new folder's path to standard output: " +
                               (error ? platform::systemErrorText(error) : std::string("write error")) +
                               ". The folder is complete: " + result.folder + "\n");
        exitCode = exitFailure;
    }
    if (openFolder)
        platform::systemLauncher().openFolder(result.folder);
    return exitCode;
}

} // namespace vidlume::cli
