#include "cli/SiteProgress.h"

#include "platform/Console.h"

#include <algorithm>

namespace vidlume::cli {

namespace {

std::string amount(std::uint64_t bytes, std::uint64_t total)
{
    const bool large = total >= (1u << 30);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (large ? 1u << 30 : 1u << 20));
    return text;
}

std::string clock(double seconds)
{
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

} // namespace

SiteProgress::SiteProgress(std::FILE* stream)
    : m_stream(stream), m_enabled(platform::isConsole(stream)), m_started(std::chrono::steady_clock::now())
{
}

void SiteProgress::show(std::size_t done, std::size_t total, std::uint64_t bytesDone, std::uint64_t bytesTotal)
{
    if (!m_enabled)
        return;
    const std::size_t width = platform::consoleColumns(m_stream) - 1;
    std::string tail = " " + std::to_string(done) + " of " + std::to_string(total) + " videos  " +
                       amount(bytesDone, bytesTotal) + " of " + amount(bytesTotal, bytesTotal) +
                       (bytesTotal >= (1u << 30) ? " GiB" : " MiB");
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    // The pace is known once a part has been done for a few seconds.
    if (bytesDone > 0 && bytesTotal > bytesDone && elapsed > 3)
        tail += "  " + clock(elapsed * double(bytesTotal - bytesDone) / double(bytesDone)) + " left";
    std::string line;
    if (width > tail.size() + 12) {
        const std::size_t bar = std::min<std::size_t>(30, width - tail.size() - 2);
        const std::size_t filled = bytesTotal ? std::size_t(double(bytesDone) / double(bytesTotal) * double(bar)) : 0;
        line = "[" + std::string(std::min(filled, bar), '#') + std::string(bar - std::min(filled, bar), '-') + "]" + tail;
    } else {
        line = tail.substr(0, width);
    }
    if (line == m_shown)
        return;
    std::string drawn = line;
    if (drawn.size() < m_shown.size())
        drawn.resize(std::min(m_shown.size(), width), ' ');
    platform::writeText(m_stream, "\r" + drawn);
    m_shown = std::move(line);
}

void SiteProgress::line(const std::string& text)
{
    const std::string shown = m_shown;
    clear();
    platform::writeText(m_stream, text + "\n");
    if (m_enabled && !shown.empty()) {
        platform::writeText(m_stream, shown);
        m_shown = shown;
    }
}

void SiteProgress::clear()
{
    if (m_shown.empty())
        return;
    platform::writeText(m_stream, "\r" + std::string(m_shown.size(), ' ') + "\r");
    m_shown.clear();
}

} // namespace vidlume::cli
