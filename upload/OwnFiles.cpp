#include "upload/OwnFiles.h"

#include "upload/Digest.h"

#include <algorithm>
#include <cctype>

namespace vidlume::upload {

namespace {

constexpr std::string_view temporaryPrefix = ".vidlume-part-";

bool endsWithNoCase(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - std::ptrdiff_t(end.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(b)) == a; });
}

} // namespace

bool isOwnStateName(std::string_view name)
{
    return name.substr(0, 8) == ".vidlume" || (name.substr(0, 12) == "vidlume-site" && endsWithNoCase(name, ".json"));
}

std::string temporaryName(std::string_view finalName, std::string_view contentSha)
{
    return std::string(temporaryPrefix) + std::string(contentSha.substr(0, 32)) + "." +
           sha256Hex(finalName).substr(0, 8);
}

bool isTemporaryName(std::string_view name)
{
    return name.substr(0, temporaryPrefix.size()) == temporaryPrefix;
}

bool isPage(std::string_view path)
{
    return endsWithNoCase(path, ".htm") || endsWithNoCase(path, ".html");
}

} // namespace vidlume::upload
