#include "form/ProgressText.h"

#include <algorithm>
#include <cstdio>

namespace vidlume::form {

std::string dataSizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    // Units of 1024 carry their binary names, as vidlume-cli's bar writes them.
    const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
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
    return progressLabel(progress) + "\n" + dataSizeText(progress.bytesDone) + " of " +
           dataSizeText(progress.bytesTotal);
}

std::optional<std::uint64_t> secondsLeft(const PublishProgress& progress, std::uint64_t elapsedMilliseconds)
{
    // Too early, the pace is not known yet: a copy starts slowly or with a burst.
    if (elapsedMilliseconds < 1000 || progress.bytesDone == 0 || progress.bytesDone >= progress.bytesTotal)
        return std::nullopt;
    const double left = double(progress.bytesTotal - progress.bytesDone) / double(progress.bytesDone) *
                        double(elapsedMilliseconds) / 1000.0;
    return static_cast<std::uint64_t>(left + 0.5);
}

std::string timeLeftText(std::uint64_t seconds)
{
    if (seconds < 60)
        return "About " + std::to_string(std::max<std::uint64_t>(seconds, 1)) +
               (seconds <= 1 ? " second left" : " seconds left");
    const std::uint64_t minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return "About " + std::to_string(minutes) + (minutes == 1 ? " minute left" : " minutes left");
    const std::uint64_t hours = minutes / 60;
    return "About " + std::to_string(hours) + (hours == 1 ? " hour " : " hours ") + std::to_string(minutes % 60) +
           " min left";
}

int progressSteps(const PublishProgress& progress, int steps)
{
    if (progress.bytesTotal == 0)
        return 0;
    const double share = std::min(1.0, double(progress.bytesDone) / double(progress.bytesTotal));
    return static_cast<int>(share * steps);
}

} // namespace vidlume::form
