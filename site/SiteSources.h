#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vidlume::site {

/// One FLV found in the archive.
struct FoundSource
{
    std::string path;     ///< where it is read from
    std::string relative; ///< its place under the SOURCE it was found in, "/" between names
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    /// Name, size and time of each subtitle file beside it that may belong to
    /// it ("beach.srt", "beach.en.vtt"): a changed one makes its page anew.
    std::string captions;
};

struct SourceSearch
{
    std::vector<FoundSource> sources; ///< in the order of their relative paths
    std::vector<std::string> problems; ///< one line each: what could not be read, and why
    std::vector<std::string> notes;    ///< one line each: a link that was not followed, and why
};

/// True for a name that ends in ".flv", in any case.
bool hasFlvEnding(const std::string& name);

/// Finds every FLV in the files and folders given: a file is taken as it is
/// (whatever its ending), a folder is searched through all its folders. A
/// link to a folder is followed once at most: a link back to a folder on the
/// way down (a loop) or to a folder searched already is named and skipped, as
/// is a folder or file that cannot be read. A file found twice counts once.
/// cancelRequested, polled between folders, stops the search early.
SourceSearch findSources(const std::vector<std::string>& arguments, const std::function<bool()>& cancelRequested = {});

} // namespace vidlume::site
