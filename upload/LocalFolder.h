#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidlume::upload {

/// One file of the local folder that is to be on the server.
struct LocalFile
{
    std::string path;     // relative, "/" between folders
    std::string fullPath; // where it is read from
    std::uint64_t size = 0;
    std::string sha256; // filled by the upload before anything is sent
};

/// An entry of the local folder that is not sent, and why.
struct LeftOutEntry
{
    std::string path;
    std::string reason;
};

struct LocalFolder
{
    std::vector<LocalFile> files;      // sorted by path
    std::vector<std::string> folders;  // relative, parents before children
    std::vector<LeftOutEntry> leftOut; // each named to the user
};

/// Walks folder. A link is followed only when it leads to an entry inside
/// folder; one that leads outside, a dangling one and anything that is no plain
/// file or folder are left out. Vidlume's own state is skipped without a word.
/// Throws Error when folder itself cannot be read.
LocalFolder scanLocalFolder(const std::string& folder);

} // namespace vidlume::upload
