#include "cli/ProgressBar.h"

#include <algorithm>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

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

namespace {

bool isTerminal(std::FILE* stream)
{
#ifdef _WIN32
    // A console; _isatty would also say yes for the NUL device.
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &mode) != 0;
#else
    return ::isatty(::fileno(stream)) == 1;
#endif
}

/// The terminal's width in columns; 80 when it does not say.
std::size_t terminalColumns(std::FILE* stream)
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &info) &&
        info.srWindow.Right > info.srWindow.Left)
        return std::size_t(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
#else
    struct winsize size = {};
    return ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
#endif
}

} // namespace

ProgressBar::ProgressBar(std::FILE* stream) : m_stream(stream), m_enabled(isTerminal(stream)) {}

std::size_t ProgressBar::width() const
{
    // Asked before every line, so that a resized terminal is followed at the
    // next redraw. The last column stays free: writing into it makes some
    // terminals wrap, and the next "\r" would then start a new line.
    return terminalColumns(m_stream) - 1;
}

void ProgressBar::show(const PublishProgress& progress)
{
    show(progressLabel(progress), progress.bytesDone, progress.bytesTotal);
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
    std::fprintf(m_stream, "\r%s", drawn.c_str());
    std::fflush(m_stream);
    m_shown = std::move(line);
}

void ProgressBar::clear()
{
    if (m_shown.empty())
        return;
    std::fprintf(m_stream, "\r%s\r", std::string(std::min(m_shown.size(), width()), ' ').c_str());
    std::fflush(m_stream);
    m_shown.clear();
}

} // namespace vidlume::cli
