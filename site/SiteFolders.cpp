#include "site/SiteFolders.h"

#include "page/PathNames.h"

#include <algorithm>
#include <vector>

namespace vidlume::site {

namespace {

std::string folded(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return text;
}

bool isUnsafeCharacter(char c)
{
#ifdef _WIN32
    if (c == '\\' || c == ':')
        return true;
#endif
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

bool isSafeName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && std::none_of(name.begin(), name.end(), isUnsafeCharacter);
}

std::vector<std::string> namesOf(const std::string& folder)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const auto slash = folder.find('/', start);
        names.push_back(folder.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return names;
        start = slash + 1;
    }
}

std::string joined(const std::string& above, const std::string& name)
{
    return above.empty() ? name : above + "/" + name;
}

} // namespace

bool isSiteOwnName(const std::string& name)
{
    const std::string lower = folded(name);
    if (lower == "vidlume-site" || lower == "vidlume-site.json" || lower == "index.htm")
        return true;
    // The gallery's numbered pages: index-2.htm, ...
    return lower.size() > 10 && lower.compare(0, 6, "index-") == 0 &&
           lower.compare(lower.size() - 4, 4, ".htm") == 0;
}

std::string naturalFolderFor(const std::string& relative)
{
    std::vector<std::string> names = namesOf(relative);
    std::string folder;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string& name = names[i];
        // Names that Windows keeps as they are (no blank or dot at the end, no
        // device name), wherever the site is made: a site moves between systems.
        const bool video = i + 1 == names.size();
        name = name.empty() ? name : folderNameFor(video ? name : name + ".flv", platform::PathStyle::Windows);
        std::replace_if(name.begin(), name.end(), isUnsafeCharacter, '_');
        if (name.empty() || name.front() == '.')
            name = "video" + name;
        folder = joined(folder, name);
    }
    return folder;
}

std::string sectionOf(const std::string& folder)
{
    const auto slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

bool isSafeFolder(const std::string& folder)
{
    if (folder.empty() || folder.size() > 4096)
        return false;
    const std::vector<std::string> names = namesOf(folder);
    return !isSiteOwnName(names.front()) && std::all_of(names.begin(), names.end(), isSafeName);
}

void FolderAssigner::take(const std::string& folder)
{
    const std::string key = folded(folder);
    m_videos.insert(key);
    for (auto slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
        m_sections.insert(key.substr(0, slash));
}

bool FolderAssigner::keep(const std::string& folder)
{
    if (!isSafeFolder(folder))
        return false;
    const std::string key = folded(folder);
    if (m_videos.count(key) || m_sections.count(key))
        return false;
    for (auto slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
        if (m_videos.count(key.substr(0, slash)))
            return false;
    take(folder);
    return true;
}

std::string FolderAssigner::assign(const std::string& relative)
{
    std::vector<std::string> names = namesOf(naturalFolderFor(relative));
    std::string folder;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        const std::string natural = names[i];
        std::string candidate = joined(folder, natural);
        for (int number = 2;; ++number) {
            const std::string key = folded(candidate);
            const bool busy = m_videos.count(key) || (last && m_sections.count(key)) ||
                              (i == 0 && isSiteOwnName(candidate));
            if (!busy)
                break;
            candidate = joined(folder, natural + "-" + std::to_string(number));
        }
        folder = candidate;
    }
    take(folder);
    return folder;
}

} // namespace vidlume::site
