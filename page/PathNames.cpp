#include "page/PathNames.h"

namespace vidlume {

std::string fileNameOf(const std::string& path, platform::PathStyle style)
{
    const char* separators = style == platform::PathStyle::Windows ? "\\:" : "/";
    const auto cut = path.find_last_of(separators);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string stemOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace vidlume
