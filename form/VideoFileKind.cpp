#include "form/VideoFileKind.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace vidlume::form {

namespace {

bool endsWithFlv(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string ending = path.substr(path.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ending == ".flv";
}

} // namespace

bool isPublishableVideo(const std::string& path)
{
    if (endsWithFlv(path))
        return true;
    const int fd = platform::openForReading(path);
    if (fd < 0)
        return false;
    char head[8] = {};
    const long long got = platform::readAt(fd, head, sizeof head, 0);
    platform::closeFileNumber(fd);
    if (got >= 3 && std::memcmp(head, "FLV", 3) == 0)
        return true;
    return got == 8 && std::memcmp(head + 4, "ftyp", 4) == 0;
}

} // namespace vidlume::form
