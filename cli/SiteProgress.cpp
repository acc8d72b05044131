#include "cli/SiteProgress.h"

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

bool isTerminal(std::FILE* stream)
{
#ifdef _WIN32
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &mode) != 0;
#else
    return ::isatty(::fileno(stream)) == 1;
#endif
}

std::size_t columnsOf(std::FILE* stream)
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
    : m_stream(stream), m_enabled(isTerminal(stream)), m_started(std::chrono::steady_clock::now())
{
}

void SiteProgress::show(std::size_t done, std::size_t total, std::uint64_t bytesDone, std::uint64_t bytesTotal)
{
    if (!m_enabled)
        return;
    const std::size_t width = columnsOf(m_stream) - 1;
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
    std::fprintf(m_stream, "\r%s", drawn.c_str());
    std::fflush(m_stream);
    m_shown = std::move(line);
}

void SiteProgress::line(const std::string& text)
{
    const std::string shown = m_shown;
    clear();
    std::fprintf(m_stream, "%s\n", text.c_str());
    std::fflush(m_stream);
    if (m_enabled && !shown.empty()) {
        std::fprintf(m_stream, "%s", shown.c_str());
        std::fflush(m_stream);
        m_shown = shown;
    }
}

void SiteProgress::clear()
{
    if (m_shown.empty())
        return;
    std::fprintf(m_stream, "\r%s\r", std::string(m_shown.size(), ' ').c_str());
    std::fflush(m_stream);
    m_shown.clear();
}

} // namespace vidlume::cli
