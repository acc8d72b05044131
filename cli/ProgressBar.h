#pragma once

#include "publish/Publish.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace vidlume::cli {

/// A one-line progress bar, redrawn in place on a terminal and never wider
/// than it, and nothing at all on a stream that is not one (a log file or a
/// pipe).
class ProgressBar
{
public:
    explicit ProgressBar(std::FILE* stream);
    ~ProgressBar() { clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(const PublishProgress& progress);
    /// A line for any work counted in bytes: label, the bar, the amounts and
    /// extra (for example the rate and the time left).
    void show(const std::string& label, std::uint64_t bytesDone, std::uint64_t bytesTotal,
              const std::string& extra = {});
    /// Removes the bar, so that the next message starts on a clean line.
    void clear();

private:
    /// The columns a line may take on the terminal now.
    std::size_t width() const;

    std::FILE* m_stream;
    bool m_enabled;
    std::string m_shown;
};

} // namespace vidlume::cli
