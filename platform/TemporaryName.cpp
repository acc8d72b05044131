#include "platform/TemporaryName.h"

#include "platform/Paths.h"

namespace vidlume::platform {

namespace {

constexpr std::string_view suffix = ".vidlume-part";

} // namespace

std::string temporaryNameFor(const std::string& destination)
{
    const auto cut = destination.find_last_of(nativeSeparators);
    const std::string folder = cut == std::string::npos ? std::string() : destination.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? destination : destination.substr(cut + 1);
    // A name may use up the file system's 255 bytes (characters on Windows):
    // the temporary name keeps only as much of it as leaves room for "." and
    // ".vidlume-part" and a retry's "-NNN".
    constexpr std::size_t room = 255 - 1 - suffix.size() - 4;
    return folder + "." + name.substr(0, room) + std::string(suffix);
}

bool isTemporaryName(std::string_view name)
{
    if (name.size() < 2 + suffix.size() || name.front() != '.')
        return false;
    const auto digits = name.find_last_not_of("0123456789");
    if (digits != name.size() - 1 && digits != std::string_view::npos && name[digits] == '-')
        name = name.substr(0, digits);
    return name.size() >= 2 + suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

} // namespace vidlume::platform
