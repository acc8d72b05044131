#include "form/ProgressText.h"

#include <algorithm>
#include <cstdio>

namespace vidlume::form {

std::string dataSizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double size = double(bytes) / 1024.0;
    std::size_t unit = 0;
    // Round first, so that 1023.96 KB reads "1.0 MB" and not "1024.0 KB".
    while (unit + 1 < std::size(units) && size >= 1023.95) {
        size /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", size, units[unit]);
    return text;
}

std::string progressText(const PublishProgress& progress)
{
    const std::string doing =
        progress.phase == PublishPhase::Converting ? "Converting for browsers " : "Copying ";
    return doing + progress.fileName + "\n" + dataSizeText(progress.bytesDone) + " of " +
           dataSizeText(progress.bytesTotal);
}

int progressSteps(const PublishProgress& progress, int steps)
{
    if (progress.bytesTotal == 0)
        return 0;
    const double share = std::min(1.0, double(progress.bytesDone) / double(progress.bytesTotal));
    return static_cast<int>(share * steps);
}

} // namespace vidlume::form
