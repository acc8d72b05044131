#include "platform/FileCopy.h"

#include "platform/FileIo.h"

#include <cerrno>

// The parts of FileCopy.h that are the same on every system, built on the
// ones that posix/ and win32/ implement.

namespace vidlume::platform {

CopyResult writeNewFile(const std::string& path, std::string_view bytes, const CopyTuning& tuning)
{
    return writeNewFileWith(
        path,
        [bytes](int fd, const std::string&) {
            std::size_t written = 0;
            while (written < bytes.size()) {
                const long long put = writeAt(fd, bytes.data() + written, bytes.size() - written, written);
                if (put < 0) {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                written += static_cast<std::size_t>(put);
            }
            return 0;
        },
        tuning);
}

} // namespace vidlume::platform
