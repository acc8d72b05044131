#include "page/PathNames.h"

#include <array>
#include <string_view>

namespace vidlume {

namespace {

bool isWindowsDeviceName(std::string name)
{
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" || name == "CONOUT$")
        return true;
    if (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "LPT") != 0)
        return false;
    // A digit, or one of the superscripts 1, 2 and 3 in UTF-8.
    const std::string_view number = std::string_view(name).substr(3);
    static const std::array<std::string_view, 3> superscripts{"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') ||
           number == superscripts[0] || number == superscripts[1] || number == superscripts[2];
}

} // namespace

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

std::string folderNameFor(const std::string& videoName, platform::PathStyle style)
{
    std::string name = stemOf(videoName);
    if (style != platform::PathStyle::Windows || name.empty())
        return name;
    const auto kept = name.find_last_not_of(" .");
    if (kept == std::string::npos)
        return "_";
    name.erase(kept + 1);
    // The device name is what comes before the first dot, blanks behind it
    // not counted: "con .old" names the console too.
    const std::string head = name.substr(0, name.find('.'));
    const auto headEnd = head.find_last_not_of(' ');
    if (headEnd != std::string::npos && isWindowsDeviceName(head.substr(0, headEnd + 1)))
        name.insert(headEnd + 1, "_");
    return name;
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
