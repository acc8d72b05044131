#pragma once

#include "upload/LocalFolder.h"
#include "upload/RemoteSite.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vidlume::upload {

struct UploadProgress
{
    std::string fileName;         // the file being hashed or sent
    bool hashing = false;         // true while the local files are read for their digests
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::uint64_t fileDone = 0; // of the file named, while it is sent
    std::uint64_t fileSize = 0;
};

struct UploadControl
{
    std::function<void(const UploadProgress&)> onProgress;
    std::function<bool()> cancelRequested;
    std::uint64_t bytesPerSecond = 0; // 0: as fast as it goes
    bool deleteMissing = false;       // --delete
};

/// Thrown when cancelRequested said yes: the remote site is as it was, or
/// holds temporary files that a rerun continues.
class UploadCancelled
{
};

struct UploadReport
{
    std::vector<std::string> sent;      // files whose bytes went to the server
    std::vector<std::string> placed;    // final names, in the order they were put in place
    std::vector<std::string> unchanged; // files the server had already
    std::vector<std::string> deleted;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesResumed = 0;     // bytes of cut uploads that were not sent again
    bool manifestTrusted = false;       // false: no usable manifest, everything was sent
};

/// Fills in each file's SHA-256. Throws UploadCancelled or Error.
void hashLocalFiles(LocalFolder& local, const UploadControl& control);

/// Makes the remote folder a copy of local: every file under a temporary
/// name first, then the swaps in one burst (media, then pages), the
/// deletions, and the manifest last. The files' digests that local lacks are
/// read while the files before them are sent. Throws UploadCancelled, Error
/// when a local file cannot be read, or RemoteError whose text also says
/// what was left as it was.
UploadReport uploadFolder(LocalFolder& local, RemoteSite& remote, const UploadControl& control);

} // namespace vidlume::upload
