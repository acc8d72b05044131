#include "cli/PublishCommand.h"

#include "app/OutputFolder.h"
#include "cli/CancelSignals.h"
#include "cli/CliReport.h"
#include "cli/ProgressBar.h"
#include "platform/Environment.h"
#include "platform/Error.h"
#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "publish/Publish.h"

namespace vidlume::cli {

int runPublish(PageInputs inputs, bool openFolder)
{
    if (inputs.videoFile.empty())
        return reportFailure("You must choose a video file.");
    if (inputs.outputDir.empty())
        inputs.outputDir = defaultOutputFolder(platform::userProfileFolder());

    installCancelSignals();
    ProgressBar bar(stderr);
    PublishControl control;
    control.onProgress = [&bar](const PublishProgress& progress) { bar.show(progress); };
    control.cancelRequested = cancelSignalReceived;

    PublishResult result;
    try {
        result = publishGeneration(inputs, platform::programFolder(), control);
    } catch (const PublishCancelled&) {
        return exitCancelled;
    } catch (const Error& error) {
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
    if (!writeBytes(stdout, result.folder + "\n"))
        return exitFailure;
    if (openFolder)
        platform::systemLauncher().openFolder(result.folder);
    return exitSuccess;
}

} // namespace vidlume::cli
