#include "publish/ClaimNewFolder.h"

#include "platform/FileSystem.h"

#include <cerrno>

namespace vidlume {

ClaimedFolder claimNewFolder(const std::string& base,
                             const std::function<std::string(const std::string&)>& probe,
                             const std::function<int(const std::string&)>& make)
{
    ClaimedFolder claimed{probe(base), 0};
    for (;;) {
        claimed.error = make ? make(claimed.path) : platform::createDirectory(claimed.path);
        if (claimed.error != EEXIST)
            return claimed;
        claimed.path = firstFreeDirName(base, uniqueDirIndex(base, claimed.path) + 1);
    }
}

} // namespace vidlume
