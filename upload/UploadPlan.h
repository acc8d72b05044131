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

/// The order files are sent and put in place: media first, then pages, deeper
/// pages before the ones that link to them, the top index.htm last.
std::vector<std::size_t> placingOrder(const LocalFolder& local);
/// Files whose final name the server has as a folder.
std::vector<std::string> blockedPaths(const LocalFolder& local, const RemoteListing& listing);
/// Folders of local the server lacks, parents first.
std::vector<std::string> foldersToMake(const LocalFolder& local, const RemoteListing& listing);
/// How file index (hashed) is sent; nothing when the server has it already
/// (the rule of planUpload).
std::optional<FileToSend> planFile(const LocalFolder& local, std::size_t index, const std::optional<Manifest>& previous,
                                   const RemoteListing& listing, ResumeRule resume);
/// Temporary files of ours on the server that none of sending continues.
std::vector<std::string> staleTemporaries(const RemoteListing& listing, const std::vector<FileToSend>& sending);
/// Files the previous manifest recorded that local lacks and the server still lists.
std::vector<std::string> pathsToDelete(const LocalFolder& local, const std::optional<Manifest>& previous,
                                       const RemoteListing& listing);

/// Decides what to send. A file is skipped only when the previous manifest
/// records it with the same size and SHA-256 and the listing shows a plain
/// file of that size under its name; without a manifest (missing or
/// damaged) every file is sent. A temporary file of the same content is
/// continued as resume says.
UploadPlan planUpload(const LocalFolder& local, const std::optional<Manifest>& previous,
                      const RemoteListing& listing, bool deleteMissing,
                      ResumeRule resume = ResumeRule::AtWholeGranule);

} // namespace vidlume::upload
