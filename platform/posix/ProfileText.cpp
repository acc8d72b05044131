#include "platform/ProfileText.h"

namespace vidlume::platform {

std::string profileTextFromBytes(const std::string& bytes)
{
    return bytes;
}

std::string profileBytesFromText(const std::string& text, const std::string&)
{
    return text;
}

} // namespace vidlume::platform
