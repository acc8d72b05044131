#pragma once

#include "app/Error.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::upload {

/// One entry of a remote folder as the server listed it.
struct RemoteEntry
{
    std::string name;
    bool isFolder = false;
    bool isFile = false; // a plain file; anything else is neither
    std::uint64_t size = 0;
};

/// A failure of the server or the connection, with the server's own words.
class RemoteError : public Error
{
public:
    using Error::Error;
};

/// An open remote file being written, from its first byte or from where a
/// cut upload stopped.
class RemoteWriter
{
public:
    virtual ~RemoteWriter() = default;
    /// Sends all size bytes; throws RemoteError.
    virtual void write(const char* data, std::size_t size) = 0;
    /// Closes the file, so that the server has every byte; throws RemoteError.
    virtual void finish() = 0;
};

/// Where a cut upload's temporary file is continued.
enum class ResumeRule {
    AtWholeGranule, // from the last whole resumeGranule of it (SFTP writes at any offset)
    AtPartialSize,  // from its end, exactly (FTP appends)
    StartAgain,     // not at all: it is written again (a WebDAV PUT is always whole)
};

/// The remote folder an upload makes a copy in. Every path is relative to
/// it ("" is the folder itself, "/" between folders); the protocol's class
/// makes the server's path of it.
class RemoteSite
{
public:
    virtual ~RemoteSite() = default;
    /// The entries of a folder (without "." and ".."), nothing when it does not exist.
    virtual std::optional<std::vector<RemoteEntry>> list(const std::string& folder) = 0;
    virtual void makeFolder(const std::string& folder) = 0;
    /// A whole file of at most maxBytes; nothing when it is missing or larger.
    virtual std::optional<std::string> readSmall(const std::string& path, std::size_t maxBytes) = 0;
    /// Opens a file for writing: emptied when offset is 0, else continued at offset.
    virtual std::unique_ptr<RemoteWriter> openForWriting(const std::string& path, std::uint64_t offset) = 0;
    virtual void remove(const std::string& path) = 0;
    /// Renames from to to, where to does not exist (or, when renameReplaces(), may).
    virtual void rename(const std::string& from, const std::string& to) = 0;
    /// True when rename replaces an existing file in one step.
    virtual bool renameReplaces() const = 0;
    virtual ResumeRule resumeRule() const { return ResumeRule::AtWholeGranule; }
};

} // namespace vidlume::upload
