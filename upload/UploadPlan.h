#pragma once

#include "upload/LocalFolder.h"
#include "upload/Manifest.h"
#include "upload/RemoteSite.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vidlume::upload {

/// What the server holds in the folders that matter to an upload.
struct RemoteListing
{
    std::set<std::string> folders;                    // relative paths of folders that exist
    std::map<std::string, RemoteEntry> entries;       // relative path -> entry, in the listed folders
};

/// One file to send: under its temporary name, then placed.
struct FileToSend
{
    std::size_t file = 0;          // index into LocalFolder::files
    std::string temporaryPath;     // relative path of its temporary name
    std::uint64_t resumeFrom = 0;  // bytes of the temporary file kept from a cut upload
    bool replaces = false;         // a file of the final name is there already
};

struct UploadPlan
{
    std::vector<std::string> foldersToMake;     // parents first
    std::vector<FileToSend> toSend;             // in the order of placing: media, then pages, the top page last
    std::vector<std::size_t> unchanged;         // indices of files the server has already
    std::vector<std::string> toDelete;          // with --delete: files the previous manifest recorded that FOLDER lacks
    std::vector<std::string> staleTemporaries;  // temporary files of ours that this upload does not continue
    std::vector<std::string> blocked;           // final names taken by a remote folder
};

/// A cut upload continues from a multiple of this many bytes of its temporary file.
inline constexpr std::uint64_t resumeGranule = 1u << 20;

/// Decides what to send. A file is skipped only when the previous manifest
/// records it with the same size and SHA-256 and the listing shows a plain
/// file of that size under its name; without a manifest (missing or
/// damaged) every file is sent. A temporary file of the same content is
/// continued as resume says.
UploadPlan planUpload(const LocalFolder& local, const std::optional<Manifest>& previous,
                      const RemoteListing& listing, bool deleteMissing,
                      ResumeRule resume = ResumeRule::AtWholeGranule);

} // namespace vidlume::upload
