#include "upload/Upload.h"

#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "upload/Digest.h"
#include "upload/HashAhead.h"
#include "upload/Manifest.h"
#include "upload/OwnFiles.h"
#include "upload/UploadPlan.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace vidlume::upload {

namespace {

// The piece read from disk and handed to the server at a time: large enough
// for the protocol libraries to keep the connection busy, small enough that
// a cancel is seen at once and memory stays flat.
constexpr std::size_t sendPiece = 2u << 20;
constexpr std::size_t largestFolderListing = 200000;

void checkCancel(const UploadControl& control)
{
    if (control.cancelRequested && control.cancelRequested())
        throw UploadCancelled();
}

RemoteListing listRemote(RemoteSite& remote, const LocalFolder& local, const std::optional<Manifest>& previous)
{
    std::set<std::string> wanted{""};
    wanted.insert(local.folders.begin(), local.folders.end());
    if (previous) {
        for (const auto& [path, entry] : *previous) {
            const auto slash = path.rfind('/');
            if (slash != std::string::npos)
                wanted.insert(path.substr(0, slash));
        }
    }
    RemoteListing listing;
    std::size_t total = 0;
    for (const std::string& folder : wanted) {
        const auto entries = remote.list(folder);
        if (!entries)
            continue;
        listing.folders.insert(folder);
        total += entries->size();
        if (total > largestFolderListing)
            throw RemoteError("The server lists more than " + std::to_string(largestFolderListing) +
                              " entries in the folders to upload to");
        for (const RemoteEntry& entry : *entries)
            listing.entries[folder.empty() ? entry.name : folder + "/" + entry.name] = entry;
    }
    return listing;
}

/// Sends one file's bytes from offset on, piece by piece.
void sendFile(RemoteSite& remote, const LocalFile& file, const FileToSend& send, const UploadControl& control,
              UploadProgress& progress, std::chrono::steady_clock::time_point started, UploadReport& report)
{
    const int fd = platform::openForReading(file.fullPath);
    if (fd < 0)
        throw Error("Cannot read " + file.fullPath + ": " + platform::systemErrorText(errno));
    struct Closer
    {
        int fd;
        ~Closer() { platform::closeFile(platform::nativeFileOf(fd)); }
    } closer{fd};

    std::unique_ptr<RemoteWriter> writer = remote.openForWriting(send.temporaryPath, send.resumeFrom);
    std::vector<char> buffer(sendPiece);
    std::uint64_t offset = send.resumeFrom;
    progress.fileName = file.path;
    progress.fileSize = file.size;
    progress.fileDone = offset;
    while (offset < file.size) {
        checkCancel(control);
        const long long got = platform::readAt(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            throw Error("Cannot read " + file.fullPath + ": " + platform::systemErrorText(errno));
        if (got == 0)
            throw Error(file.fullPath + " became shorter while it was uploaded");
        const std::size_t size = std::size_t(std::min<std::uint64_t>(std::uint64_t(got), file.size - offset));
        writer->write(buffer.data(), size);
        offset += size;
        report.bytesSent += size;
        progress.bytesDone += size;
        progress.fileDone = offset;
        if (control.onProgress)
            control.onProgress(progress);
        if (control.bytesPerSecond) {
            // Ahead of the rate: wait until the bytes sent so far are due.
            const auto due = started + std::chrono::microseconds(report.bytesSent * 1000000 / control.bytesPerSecond);
            while (std::chrono::steady_clock::now() < due) {
                checkCancel(control);
                std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                    due - std::chrono::steady_clock::now(), std::chrono::milliseconds(100)));
            }
        }
    }
    writer->finish();
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

void hashLocalFiles(LocalFolder& local, const UploadControl& control)
{
    UploadProgress progress;
    progress.hashing = true;
    for (const LocalFile& file : local.files)
        progress.bytesTotal += file.size;
    for (LocalFile& file : local.files) {
        progress.fileName = file.path;
        const std::uint64_t before = progress.bytesDone;
        file.sha256 = sha256OfFile(file.fullPath, [&](std::uint64_t done) {
            progress.bytesDone = before + done;
            if (control.onProgress)
                control.onProgress(progress);
            return !(control.cancelRequested && control.cancelRequested());
        });
        checkCancel(control);
        progress.bytesDone = before + file.size;
    }
}

UploadReport uploadFolder(LocalFolder& local, RemoteSite& remote, const UploadControl& control)
{
    UploadReport report;
    std::optional<Manifest> previous;
    if (const auto text = remote.readSmall(manifestName, manifestMaxBytes))
        previous = readManifest(*text);
    report.manifestTrusted = previous.has_value();

    const RemoteListing listing = listRemote(remote, local, previous);
    const std::vector<std::string> blocked = blockedPaths(local, listing);
    if (!blocked.empty())
        throw RemoteError("The server has folders where files go: " + joined(blocked) +
                          ". Nothing on the server was changed");

    // 1. Every new or changed file whole under its temporary name; the site
    // as visitors see it does not change yet. Each file's digest is read
    // while the one before it is sent.
    const std::vector<std::size_t> order = placingOrder(local);
    HashAhead digests(local, order);
    std::vector<FileToSend> sending;
    try {
        for (const std::string& folder : foldersToMake(local, listing))
            remote.makeFolder(folder);
        UploadProgress progress;
        for (const LocalFile& file : local.files)
            progress.bytesTotal += file.size;
        const auto started = std::chrono::steady_clock::now();
        for (const std::size_t index : order) {
            const LocalFile& file = local.files[index];
            digests.waitFor(index, [&](std::uint64_t bytesRead) {
                checkCancel(control);
                if (control.onProgress) {
                    UploadProgress reading;
                    reading.hashing = true;
                    reading.fileName = file.path;
                    reading.bytesDone = bytesRead;
                    reading.bytesTotal = file.size;
                    control.onProgress(reading);
                }
            });
            const std::optional<FileToSend> send = planFile(local, index, previous, listing, remote.resumeRule());
            if (!send) {
                report.unchanged.push_back(file.path);
                progress.bytesTotal -= file.size;
                continue;
            }
            progress.bytesTotal -= send->resumeFrom;
            report.bytesResumed += send->resumeFrom;
            if (send->resumeFrom < file.size || file.size == 0) {
                try {
                    sendFile(remote, file, *send, control, progress, started, report);
                } catch (const RemoteError& error) {
                    throw RemoteError("Sending " + file.path + " failed. " + error.what());
                }
            }
            report.sent.push_back(file.path);
            sending.push_back(*send);
        }
    } catch (const RemoteError& error) {
        if (control.cancelRequested && control.cancelRequested())
            throw UploadCancelled();
        throw RemoteError(std::string(error.what()) +
                          ". The pages on the server were left as they were; the files sent so far wait under "
                          "temporary names, and a rerun continues them");
    }
    checkCancel(control);
    std::sort(report.unchanged.begin(), report.unchanged.end());

    // 2. The swaps, in one burst: media, then pages. A cancel waits for its end.
    try {
        for (const FileToSend& send : sending) {
            const std::string& path = local.files[send.file].path;
            if (send.replaces && !remote.renameReplaces())
                remote.remove(path);
            remote.rename(send.temporaryPath, path);
            report.placed.push_back(path);
        }
        if (control.deleteMissing) {
            for (const std::string& path : pathsToDelete(local, previous, listing)) {
                remote.remove(path);
                report.deleted.push_back(path);
            }
        }
        for (const std::string& path : staleTemporaries(listing, sending))
            remote.remove(path);

        // 3. The manifest, last: it records every file of FOLDER as now on the server.
        Manifest manifest;
        for (const LocalFile& file : local.files)
            manifest[file.path] = ManifestEntry{file.size, file.sha256};
        const std::string text = writeManifest(manifest);
        const std::string temporary = temporaryName(manifestName, sha256Hex(text));
        auto writer = remote.openForWriting(temporary, 0);
        writer->write(text.data(), text.size());
        writer->finish();
        if (listing.entries.count(manifestName) && !remote.renameReplaces())
            remote.remove(manifestName);
        remote.rename(temporary, manifestName);
    } catch (const RemoteError& error) {
        throw RemoteError(std::string(error.what()) + ". Placed before the failure: " +
                          (report.placed.empty() ? std::string("nothing") : joined(report.placed)) +
                          "; a rerun places the rest");
    }
    return report;
}

} // namespace vidlume::upload
