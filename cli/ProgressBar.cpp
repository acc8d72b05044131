#include "cli/ProgressBar.h"

#include <unistd.h>

namespace vidlume::cli {

namespace {

// Label, bar and figures fit a terminal of 80 columns.
constexpr int barWidth = 16;
constexpr std::size_t labelWidth = 32;

/// Bytes in the unit that suits the total: MiB below one GiB, GiB above.
std::string amount(std::uint64_t bytes, std::uint64_t total)
{
    const bool large = total >= (1u << 30);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (large ? 1u << 30 : 1u << 20));
    return text;
}

std::string lineFor(const PublishProgress& progress)
{
    const std::uint64_t total = progress.bytesTotal ? progress.bytesTotal : 1;
    const int percent = static_cast<int>(progress.bytesDone * 100 / total);
    const int filled = static_cast<int>(progress.bytesDone * barWidth / total);
    std::string name =
        (progress.phase == PublishPhase::Converting ? "Converting for browsers " : "Copying ") +
        progress.fileName;
    if (name.size() > labelWidth)
        name = name.substr(0, labelWidth - 3) + "...";
    name.resize(labelWidth, ' ');
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "] %3d%%  %s of %s %s", percent,
                  amount(progress.bytesDone, progress.bytesTotal).c_str(),
                  amount(progress.bytesTotal, progress.bytesTotal).c_str(),
                  progress.bytesTotal >= (1u << 30) ? "GiB" : "MiB");
    return name + " [" + std::string(filled, '#') + std::string(barWidth - filled, '-') + numbers;
}

} // namespace

ProgressBar::ProgressBar(std::FILE* stream) : m_stream(stream), m_enabled(::isatty(::fileno(stream)) == 1) {}

void ProgressBar::show(const PublishProgress& progress)
{
    if (!m_enabled)
        return;
    // Only a changed line is drawn: the copies report far more often than
    // the eye can follow.
    std::string line = lineFor(progress);
    if (line == m_shown)
        return;
    std::fprintf(m_stream, "\r%s", line.c_str());
    std::fflush(m_stream);
    m_shown = std::move(line);
}

void ProgressBar::clear()
{
    if (m_shown.empty())
        return;
    std::fprintf(m_stream, "\r%s\r", std::string(m_shown.size(), ' ').c_str());
    std::fflush(m_stream);
    m_shown.clear();
}

} // namespace vidlume::cli
