#include "publish/ClaimNewFolder.h"

#include "platform/FileSystem.h"

#include <cerrno>

namespace vidlume {

ClaimedFolder claimNewFolder(const std::string& base,
                             const std::function<std::string(const std::string&)>& probe)
{
    ClaimedFolder claimed{probe(base), 0};
    for (;;) {
        claimed.error = platform::createDirectory(claimed.path);
        if (claimed.error != EEXIST)
            return claimed;
        claimed.path = firstFreeDirName(base, uniqueDirIndex(base, claimed.path) + 1);
    }
}

} // namespace vidlume
