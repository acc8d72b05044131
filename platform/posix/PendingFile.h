#pragma once

#include "platform/UniqueFd.h"

#include <string>
#include <sys/stat.h>

namespace vidlume::platform::posix {

/// The file of one copy or write while its bytes go in: unnamed where the file
/// system allows (a kill then leaves nothing, the kernel frees it), otherwise
/// created exclusively under a hidden name beside the destination and locked
/// until it has its final name, so that removeAbandonedTemporaryFiles can tell
/// a live one from the leftover of a killed process. Discarded unless it was
/// given its final name.
class PendingFile
{
public:
    ~PendingFile();

    /// Returns 0 or the error of the creation.
    int create(const std::string& destination, mode_t mode, bool allowUnnamed);

    int fd() const { return m_handle.fd(); }

    /// Where the file can be opened again while it is written.
    std::string openPath() const { return m_unnamed ? procPath() : m_path; }

    /// Gives the file the destination's name without ever replacing an entry
    /// there. Returns 0 or the error; on success the file is no longer removed.
    int giveName(const std::string& destination, bool linkInsteadOfRename);

    /// Closes the named file. On network file systems a failed write may only
    /// show up here: then the file is not complete and loses its name again.
    int close(const std::string& destination);

private:
    std::string procPath() const { return "/proc/self/fd/" + std::to_string(fd()); }

    bool createUnnamed(const std::string& destination, mode_t mode);

    int createNamed(const std::string& destination, mode_t mode);

    int linkUnnamed(const std::string& destination);

    int renameNoReplace(const std::string& destination);

    int linkThenUnlink(const std::string& destination);

    std::string m_path; // the hidden name, while the file has it
    bool m_unnamed = false;
    struct stat m_named = {};
    UniqueFd m_handle;
};

} // namespace vidlume::platform::posix
