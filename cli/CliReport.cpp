#include "cli/CliReport.h"

#include "app/ErrorText.h"
#include "cli/CliOptions.h"

namespace vidlume::cli {

bool writeBytes(std::FILE* stream, const std::string& bytes)
{
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return std::fflush(stream) == 0 && written;
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
