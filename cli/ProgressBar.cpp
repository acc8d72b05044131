#include "cli/ProgressBar.h"

#include "platform/Console.h"

#include <algorithm>

namespace vidlume::cli {

namespace {

constexpr std::size_t fullBarWidth = 30;
constexpr std::size_t smallestBarWidth = 10;
// The name is led by what is done to the file: "Copying holiday.flv".
constexpr std::size_t fullNameWidth = 36;
constexpr std::size_t smallestNameWidth = 8;

/// Bytes in the unit that suits the total: MiB below one GiB, GiB above.
std::string amount(std::uint64_t bytes, std::uint64_t total)
{
    const bool large = total >= (1u << 30);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (large ? 1u << 30 : 1u << 20));
    return text;
}

/// name cut or padded to exactly width characters.
std::string fitted(std::string name, std::size_t width)
{
    if (name.size() > width)
        name = width > 3 ? name.substr(0, width - 3) + "..." : name.substr(0, width);
    name.resize(width, ' ');
    return name;
}

/// The bar's line, at most width characters: the bar and then the name
/// shrink on a narrow terminal, and the bar goes when there is no room for it.
std::string lineFor(const std::string& label, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                    const std::string& extra, std::size_t width)
{
    const std::uint64_t total = bytesTotal ? bytesTotal : 1;
    const int percent = static_cast<int>(bytesDone * 100 / total);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " %3d%%  %s of %s %s", percent, amount(bytesDone, bytesTotal).c_str(),
                  amount(bytesTotal, bytesTotal).c_str(), bytesTotal >= (1u << 30) ? "GiB" : "MiB");
    const std::string tail = numbers + extra;

    // name + " [" + bar + "]" + tail
    const std::size_t fixed = tail.size() + 3;
    const std::size_t spare = width > fixed ? width - fixed : 0;
    if (spare >= smallestNameWidth + smallestBarWidth) {
        const std::size_t bar =
            std::clamp(spare - std::min(spare, fullNameWidth), smallestBarWidth, fullBarWidth);
        const std::size_t name = std::min(fullNameWidth, spare - bar);
        const auto filled = static_cast<std::size_t>(std::min(bytesDone, total) * bar / total);
        return fitted(label, name) + " [" + std::string(filled, '#') + std::string(bar - filled, '-') + "]" +
               tail;
    }
    const std::string line =
        fitted(label, std::min(fullNameWidth, width > tail.size() ? width - tail.size() : 0)) + tail;
    return line.substr(0, width);
}

} // namespace

ProgressBar::ProgressBar(std::FILE* stream) : m_stream(stream), m_enabled(platform::isConsole(stream)) {}

std::size_t ProgressBar::width() const
{
    // Asked before every line, so that a resized terminal is followed at the
    // next redraw. The last column stays free: writing into it makes some
    // terminals wrap, and the next "\r" would then start a new line.
    return platform::consoleColumns(m_stream) - 1;
}

void ProgressBar::show(const PublishProgress& progress)
{
    show((progress.phase == PublishPhase::Converting ? "Converting for browsers " : "Copying ") + progress.fileName,
         progress.bytesDone, progress.bytesTotal);
}

void ProgressBar::show(const std::string& label, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                       const std::string& extra)
{
    if (!m_enabled)
        return;
    // Only a changed line is drawn: the copies report far more often than
    // the eye can follow.
    const std::size_t columns = width();
    std::string line = lineFor(label, bytesDone, bytesTotal, extra, columns);
    if (line == m_shown)
        return;
    // Blanks cover what is left of a longer line drawn before.
    std::string drawn = line;
    if (drawn.size() < m_shown.size())
        drawn.resize(std::min(m_shown.size(), columns), ' ');
    platform::writeText(m_stream, "\r" + drawn);
    m_shown = std::move(line);
}

void ProgressBar::clear()
{
    if (m_shown.empty())
        return;
    platform::writeText(m_stream, "\r" + std::string(std::min(m_shown.size(), width()), ' ') + "\r");
    m_shown.clear();
}

} // namespace vidlume::cli
