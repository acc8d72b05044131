#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vidlume::cli {

/// The one progress line of a site's run on a terminal: videos done of all,
/// bytes, and the time left once the pace is known. Lines about finished
/// videos are written above it. On a stream that is no terminal the bar
/// stays away and the lines alone are written.
class SiteProgress
{
public:
    explicit SiteProgress(std::FILE* stream);
    ~SiteProgress() { clear(); }
    SiteProgress(const SiteProgress&) = delete;
    SiteProgress& operator=(const SiteProgress&) = delete;

    void show(std::size_t done, std::size_t total, std::uint64_t bytesDone, std::uint64_t bytesTotal);
    /// A line for the user, above the bar.
    void line(const std::string& text);
    void clear();

private:
    std::FILE* m_stream;
    bool m_enabled;
    std::string m_shown;
    std::chrono::steady_clock::time_point m_started;
};

} // namespace vidlume::cli
