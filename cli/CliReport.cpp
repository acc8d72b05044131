#include "cli/CliReport.h"

#include "app/ErrorText.h"
#include "cli/CliOptions.h"
#include "platform/Console.h"

namespace vidlume::cli {

bool writeBytes(std::FILE* stream, const std::string& bytes)
{
    return platform::writeText(stream, bytes);
}

int reportUsageError(const std::string& message)
{
    writeBytes(stderr, "vidlume-cli: " + message + "\n" + usageText());
    return exitUsage;
}

int reportFailure(const std::string& text)
{
    writeBytes(stderr, errorReportText(text) + "\n");
    return exitFailure;
}

} // namespace vidlume::cli
