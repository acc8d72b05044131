#include "page/PathNames.h"

namespace vidlume {

std::string fileNameOf(const std::string& path, platform::PathStyle style)
{
    // Windows takes "/" for a separator too: "C:/videos/holiday.flv" names
    // holiday.flv, the file that is copied and that the page refers to.
    const char* separators = style == platform::PathStyle::Windows ? "\\/:" : "/";
    const auto cut = path.find_last_of(separators);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string childPath(const std::string& folder, const std::string& name, platform::PathStyle style)
{
    const bool windows = style == platform::PathStyle::Windows;
    const char separator = windows ? '\\' : '/';
    // Windows takes "/" for a separator too.
    const bool endsInSeparator =
        !folder.empty() && (folder.back() == separator || (windows && folder.back() == '/'));
    return endsInSeparator ? folder + name : folder + separator + name;
}

std::string stemOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string mp4NameFor(const std::string& videoName)
{
    const std::size_t size = videoName.size();
    if (size >= 4) {
        std::string ending = videoName.substr(size - 4);
        for (char& c : ending)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (ending == ".flv")
            return videoName.substr(0, size - 4) + ".mp4";
    }
    return videoName + ".mp4";
}

} // namespace vidlume
